// io/colouring.cpp - grey levels from intensity and the height ramp.
#include "io/colouring.h"

#include <algorithm>
#include <limits>

namespace {

void rampColour(float t, PointRecord& p) {
    // Four equal steps between the five colours of the ramp; a NaN (from an infinite range)
    // counts as the bottom.
    const float s = (t >= 0.0f ? std::min(t, 1.0f) : 0.0f) * 4.0f;
    const int step = std::min(static_cast<int>(s), 3);
    const float f = s - static_cast<float>(step);
    switch (step) {
        case 0:
            p.r = 0.0f, p.g = f, p.b = 1.0f;
            break; // blue to cyan
        case 1:
            p.r = 0.0f, p.g = 1.0f, p.b = 1.0f - f;
            break; // cyan to green
        case 2:
            p.r = f, p.g = 1.0f, p.b = 0.0f;
            break; // green to yellow
        default:
            p.r = 1.0f, p.g = 1.0f - f, p.b = 0.0f;
            break; // yellow to red
    }
}

} // namespace

void applyColourKind(ReadResult& result) {
    if (result.colour == ColourKind::Rgb || result.count == 0)
        return;
    const float inf = std::numeric_limits<float>::infinity();
    float low = inf, high = -inf;
    const bool grey = result.colour == ColourKind::Intensity;
    if (!grey && result.box) {
        // Gathered over the same values in the same order of comparison as the loop would.
        low = result.box->low[2];
        high = result.box->high[2];
    } else {
        for (int64_t i = 0; i < result.count; ++i) {
            const float v = grey ? result.points[i].r : result.points[i].z;
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    // A flat cloud or constant intensity shows one level: the middle of the ramp, or white.
    const float range = high - low;
    for (int64_t i = 0; i < result.count; ++i) {
        PointRecord& p = result.points[i];
        if (grey) {
            const float level = range > 0.0f ? (p.r - low) / range : 1.0f;
            p.r = p.g = p.b = level >= 0.0f ? std::min(level, 1.0f) : 0.0f;
        } else {
            rampColour(range > 0.0f ? (p.z - low) / range : 0.5f, p);
        }
    }
}
