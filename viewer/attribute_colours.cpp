// viewer/attribute_colours.cpp - the class colour table, the return colours and the intensity
// percentiles.
#include "viewer/attribute_colours.h"

#include "io/ramp_span.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct ClassColour {
    int code;
    unsigned char rgb[3];
};

// The one table of class colours; README repeats it. 8 and 12 are reserved codes and take
// made-up colours like the codes past 22.
// clang-format off
const ClassColour kClassColours[] = {
    {0,  {150, 150, 150}}, // created, never classified
    {1,  {190, 190, 190}}, // unclassified
    {2,  {160, 100,  50}}, // ground
    {3,  {170, 230, 110}}, // low vegetation
    {4,  { 70, 180,  50}}, // medium vegetation
    {5,  { 20, 110,  30}}, // high vegetation
    {6,  {235,  80,  35}}, // building
    {7,  {255,   0, 255}}, // low point (noise)
    {9,  { 40, 110, 230}}, // water
    {10, {130,  70, 130}}, // rail
    {11, { 90,  90, 100}}, // road surface
    {13, {255, 230,   0}}, // wire - guard (shield)
    {14, {255, 170,   0}}, // wire - conductor (phase)
    {15, {190, 120,  20}}, // transmission tower
    {16, {255, 255, 150}}, // wire-structure connector (insulator)
    {17, {110, 110, 210}}, // bridge deck
    {18, {200,  40, 255}}, // high noise
    {19, {  0, 200, 200}}, // overhead structure
    {20, {200, 170, 130}}, // ignored ground
    {21, {240, 250, 255}}, // snow
    {22, {120, 140, 160}}, // temporal exclusion
};

const unsigned char kReturnColours[kReturnKinds][3] = {
    {255, 200,   0}, // only
    {  0, 200,   0}, // first of many
    {  0, 150, 255}, // intermediate
    {220,   0, 220}, // last of many
};
// clang-format on

const char* const kReturnKindNames[kReturnKinds] = {"only", "first of many", "intermediate",
                                                    "last of many"};

const ClassColour* tableEntry(int code) {
    for (const ClassColour& entry : kClassColours)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

} // namespace

bool classColourInTable(int code) {
    return tableEntry(code) != nullptr;
}

void classColour(int code, unsigned char rgb[3]) {
    if (const ClassColour* entry = tableEntry(code)) {
        for (int i = 0; i < 3; ++i)
            rgb[i] = entry->rgb[i];
        return;
    }
    // A hue from a hash of the code, bright and saturated enough to tell on black and white.
    uint32_t hash = static_cast<uint32_t>(code) * 2654435761u;
    hash ^= hash >> 15;
    const double hue = double(hash % 360u) / 60.0;
    const double saturation = 0.55 + 0.35 * double((hash >> 9) % 64u) / 63.0;
    const double value = 0.75 + 0.25 * double((hash >> 17) % 64u) / 63.0;
    const int sector = static_cast<int>(hue);
    const double f = hue - sector;
    const double p = value * (1 - saturation), q = value * (1 - saturation * f),
                 t = value * (1 - saturation * (1 - f));
    const double sectors[6][3] = {{value, t, p}, {q, value, p}, {p, value, t},
                                  {p, q, value}, {t, p, value}, {value, p, q}};
    for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<unsigned char>(std::lround(sectors[sector][i] * 255.0));
}

ReturnKind returnKind(uint8_t packed) {
    const int number = PointAttributes::returnNumber(packed);
    const int of = PointAttributes::numberOfReturns(packed);
    if (of <= 1)
        return ReturnKind::Only;
    if (number <= 1)
        return ReturnKind::First;
    return number >= of ? ReturnKind::Last : ReturnKind::Intermediate;
}

const char* returnKindName(ReturnKind kind) {
    return kReturnKindNames[static_cast<int>(kind)];
}

void returnColour(ReturnKind kind, unsigned char rgb[3]) {
    for (int i = 0; i < 3; ++i)
        rgb[i] = kReturnColours[static_cast<int>(kind)][i];
}

IntensityRange intensityRange(const PointAttributes& attributes) {
    const std::vector<uint16_t>& values = attributes.intensity;
    // Whole values in, whole values out: the ends are values of the column.
    const RampSpan span = rampSpan(static_cast<int64_t>(values.size()),
                                   [&values](int64_t i) { return float(values[size_t(i)]); });
    return IntensityRange{static_cast<uint16_t>(span.low), static_cast<uint16_t>(span.high)};
}

unsigned char intensityGrey(uint16_t intensity, const IntensityRange& range) {
    if (range.high <= range.low)
        return intensity < range.low ? 0 : intensity > range.high ? 255 : 128;
    if (intensity <= range.low)
        return 0;
    if (intensity >= range.high)
        return 255;
    const double t = double(intensity - range.low) / double(range.high - range.low);
    return static_cast<unsigned char>(std::lround(t * 255.0));
}
