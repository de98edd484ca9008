// viewer/point_colours.cpp - the colours of each mode, computed once per mode.
#include "viewer/point_colours.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

unsigned char toByte(double value) {
    return static_cast<unsigned char>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

} // namespace

void heightColour(double t, unsigned char rgb[3]) {
    // Four equal legs: blue to cyan, cyan to green, green to yellow, yellow to red.
    static const double stops[5][3] = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) * 4.0 : 2.0;
    const int leg = std::min(static_cast<int>(t), 3);
    const double along = t - leg;
    for (int i = 0; i < 3; ++i)
        rgb[i] = toByte(stops[leg][i] + (stops[leg + 1][i] - stops[leg][i]) * along);
}

void colourByMode(const PointRecord* points, const PointAttributes& attributes, int64_t count,
                  ColourMode mode, const ColourRamps& ramps, unsigned char* out) {
    switch (mode) {
        case ColourMode::Height:
            for (int64_t i = 0; i < count; ++i, out += 3)
                heightColour(spanFraction(points[i].z, ramps.height, 0.5), out);
            break;
        case ColourMode::Intensity:
            for (int64_t i = 0; i < count; ++i, out += 3)
                out[0] = out[1] = out[2] =
                    intensityGrey(attributes.intensity[size_t(i)], ramps.intensity);
            break;
        case ColourMode::Classification: {
            // Up to 256 colours, looked up once each rather than per point.
            unsigned char table[256][3];
            for (int code = 0; code < 256; ++code)
                classColour(code, table[code]);
            for (int64_t i = 0; i < count; ++i, out += 3)
                std::memcpy(out, table[attributes.classification[size_t(i)]], 3);
            break;
        }
        case ColourMode::Return: {
            unsigned char table[kReturnKinds][3];
            for (int kind = 0; kind < kReturnKinds; ++kind)
                returnColour(static_cast<ReturnKind>(kind), table[kind]);
            for (int64_t i = 0; i < count; ++i, out += 3)
                std::memcpy(out, table[int(returnKind(attributes.returns[size_t(i)]))], 3);
            break;
        }
        default:
            for (int64_t i = 0; i < count; ++i, out += 3) {
                // Perceived brightness, so the grey picture keeps the file's light and dark.
                const PointRecord& p = points[i];
                out[0] = out[1] = out[2] = toByte(0.299 * p.r + 0.587 * p.g + 0.114 * p.b);
            }
            break;
    }
}

void PointColours::fixRamps(const ColourRamps& ramps) {
    heightSpan_ = ramps.height;
    range_ = ramps.intensity;
    rampsFixed_ = true;
}

IntensityRange PointColours::intensityRangeOf(const PointCloud& set) {
    if (!rampsFixed_ && (rangePoints_ != set.points || set.points == nullptr)) {
        range_ = intensityRange(set.attributes);
        // In a scene, over the files that have intensities: the others' zeros are no values.
        if (!set.files.empty()) {
            std::vector<uint16_t> values;
            for (int64_t i = 0; i < set.count; ++i)
                if (set.recordHas(i, kIntensity))
                    values.push_back(set.attributes.intensity[size_t(i)]);
            const RampSpan span = rampSpan(
                int64_t(values.size()), [&values](int64_t i) { return float(values[size_t(i)]); });
            range_ = IntensityRange{uint16_t(span.low), uint16_t(span.high)};
        }
        rangePoints_ = set.points;
    }
    return range_;
}

RampSpan PointColours::heightSpanOf(const PointCloud& set) {
    if (!rampsFixed_ && (heightPoints_ != set.points || set.points == nullptr)) {
        const PointRecord* points = set.points;
        heightSpan_ = rampSpan(set.count, [points](int64_t i) { return points[i].z; });
        heightPoints_ = set.points;
    }
    return heightSpan_;
}

const unsigned char* PointColours::colours(const PointCloud& set, ColourMode mode,
                                           const PointCloud* rampsOf) {
    if (mode == ColourMode::File || !colourModeAvailable(mode, set.attributes))
        return nullptr;
    if (rgb_ != nullptr && mode_ == mode && points_ == set.points && count_ == set.count)
        return rgb_.get();
    release();
    rgb_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(set.count) * 3 + 3]);
    if (rgb_ == nullptr)
        return nullptr;
    mode_ = mode;
    points_ = set.points;
    count_ = set.count;

    ColourRamps ramps;
    if (mode == ColourMode::Height)
        ramps.height = heightSpanOf(rampsOf ? *rampsOf : set);
    if (mode == ColourMode::Intensity)
        ramps.intensity = intensityRangeOf(rampsOf ? *rampsOf : set);
    colourByMode(set.points, set.attributes, set.count, mode, ramps, rgb_.get());
    // In a scene, the records of a file without the mode's attribute are not coloured as if
    // they had it: they keep the colours they show alone in a mode their file lacks, their own.
    const AttributeBit needed = mode == ColourMode::Intensity        ? kIntensity
                                : mode == ColourMode::Classification ? kClassification
                                : mode == ColourMode::Return         ? kReturns
                                                                     : AttributeBit();
    if (!set.files.empty() && needed != AttributeBit()) {
        unsigned char* out = rgb_.get();
        for (int64_t i = 0; i < set.count; ++i, out += 3)
            if (!set.recordHas(i, needed)) {
                const PointRecord& p = set.points[i];
                out[0] = toByte(p.r), out[1] = toByte(p.g), out[2] = toByte(p.b);
            }
    }
    return rgb_.get();
}

void PointColours::release() {
    rgb_.reset();
    points_ = nullptr;
    count_ = 0;
}
