// io/colouring.cpp - grey levels from intensity and the height ramp.
#include "io/colouring.h"

#include "io/ramp_span.h"

#include <algorithm>

void heightRampColour(float t, PointRecord& p) {
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

void applyColourKind(ReadResult& result) {
    applyColourKind(result.points, {RecordRun{0, result.count}}, result.colour);
}

void applyColourKind(PointRecord* points, const std::vector<RecordRun>& runs, ColourKind kind) {
    if (kind == ColourKind::Rgb)
        return;
    const bool grey = kind == ColourKind::Intensity;
    PercentileSearch search;
    for (const RecordRun& run : runs)
        for (int64_t i = run.first; i < run.first + run.count; ++i)
            search.count(grey ? points[i].r : points[i].z);
    if (search.startRefining())
        for (const RecordRun& run : runs)
            for (int64_t i = run.first; i < run.first + run.count; ++i)
                search.refine(grey ? points[i].r : points[i].z);
    const RampSpan span = search.span();
    const float low = span.low, high = span.high;
    // A flat cloud or constant intensity shows one level: the middle of the ramp, or white.
    // The arithmetic is the same as over the extremes before percentiles, so that a cloud
    // without outliers keeps its colours to the bit.
    const float range = high - low;
    for (const RecordRun& run : runs)
        for (int64_t i = run.first; i < run.first + run.count; ++i) {
            PointRecord& p = points[i];
            const float v = grey ? p.r : p.z;
            float t = grey ? 1.0f : 0.5f;
            if (v < low || v > high)
                t = v < low ? 0.0f : 1.0f;
            else if (range > 0.0f)
                t = (v - low) / range;
            if (grey)
                p.r = p.g = p.b = t >= 0.0f ? std::min(t, 1.0f) : 0.0f;
            else
                heightRampColour(t, p);
        }
}
