// io/shift.h - the global shift that keeps large coordinates precise in 32-bit floats.
#pragma once

#include "io/read_result.h"

// Whether a cloud with this box (file coordinates) needs a shift, and which: the rounded box
// centre, when a coordinate's magnitude exceeds 100,000 or when float storage would lose more
// than 1e-5 of the cloud's extent.
bool chooseShift(const double low[3], const double high[3], double shift[3]);

// Readers store float(file - provisional), with a provisional shift picked before the box was
// known (the rounded first point, or a header's box centre). This settles it: from the box of
// the stored points, gathered as they were stored, it chooses the real shift, moves the points to
// it (the differences are exact in double; the move split over the threads) and records it in the
// result, with the box moved alike. With a zero provisional shift and no need for one it leaves
// the points alone.
void settleShift(ReadResult& result, const double provisional[3], const StoredBox& box,
                 int threads);

// The provisional shift for a cloud whose first point (or box centre) is here: rounded, zero
// for coordinates that floats hold well anyway.
void provisionalShift(const double near[3], double shift[3]);

// Whether points stored against a provisional shift (box: theirs, as stored) kept about the
// precision that storing against their settled shift would give: false when the provisional
// shift lies further from them than their own extent, as one taken from a header's box that
// does not hold the points does. Then they are best stored again, against
// provisionalShift(their box's centre).
bool provisionalShiftFits(const StoredBox& box);
