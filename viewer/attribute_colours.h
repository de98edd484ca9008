// viewer/attribute_colours.h - the colours of classes and returns, and the grey of intensity.
#pragma once

#include "io/point_attributes.h"

#include <cstdint>

// The colour of an ASPRS class code: the table's for the codes it names (README lists them),
// and for any other a fixed colour of its own, made from the code.
void classColour(int code, unsigned char rgb[3]);
// Whether the table names a colour for the code, rather than making one up.
bool classColourInTable(int code);

// The four kinds of return a pulse gives, from a packed returns byte (see PointAttributes):
// the only return, the first and the last of several, and those between. A return numbered
// 0 or beyond its count is taken as the first or the last.
enum class ReturnKind { Only, First, Intermediate, Last };
constexpr int kReturnKinds = 4;
ReturnKind returnKind(uint8_t packed);
const char* returnKindName(ReturnKind kind);
void returnColour(ReturnKind kind, unsigned char rgb[3]);

// The intensities that map to black and white: the 1st and 99th percentiles of the column,
// or its extremes where nothing beyond the percentile is an outlier (settleRampSpan), so that
// a few very bright or dark returns do not wash out the rest. Both 0 for an empty column.
struct IntensityRange {
    uint16_t low = 0;
    uint16_t high = 0;
};
IntensityRange intensityRange(const PointAttributes& attributes);
// The grey of an intensity: black at or below low, white at or above high, linear between;
// mid-grey when the range is a single value.
unsigned char intensityGrey(uint16_t intensity, const IntensityRange& range);
