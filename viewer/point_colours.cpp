// viewer/point_colours.cpp - the height ramp and the grey shades, computed once per mode.
#include "viewer/point_colours.h"

#include <algorithm>
#include <cmath>
#include <new>

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

const unsigned char* PointColours::colours(const PointCloud& set, ColourMode mode) {
    if (mode == ColourMode::File)
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

    const double bottom = set.farCorner[2];
    const double height = static_cast<double>(set.nearCorner[2]) - bottom;
    for (int64_t i = 0; i < set.count; ++i) {
        const PointRecord& p = set.points[i];
        unsigned char* out = rgb_.get() + i * 3;
        if (mode == ColourMode::Height) {
            heightColour(height > 0.0 ? (p.z - bottom) / height : 0.5, out);
        } else {
            // Perceived brightness, so the grey picture keeps the file's light and dark.
            const double grey = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
            out[0] = out[1] = out[2] = toByte(grey);
        }
    }
    return rgb_.get();
}

void PointColours::release() {
    rgb_.reset();
    points_ = nullptr;
    count_ = 0;
}
