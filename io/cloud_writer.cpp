// io/cloud_writer.cpp - both writers, through stdio's buffering.
#include "io/cloud_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

unsigned char toByte(float value) {
    return static_cast<unsigned char>(std::lround(std::min(std::max(value, 0.0f), 1.0f) * 255.0f));
}

} // namespace

bool writeNative(const PointCloud& cloud, FILE* out) {
    std::fprintf(out, "# points = %d\n", static_cast<int>(cloud.count));
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        // The native reader keeps floats, so more digits than give a float back would only
        // promise what a reopened file cannot hold; nine always do.
        const float x = static_cast<float>(p.x + cloud.shift[0]);
        const float y = static_cast<float>(p.y + cloud.shift[1]);
        const float z = static_cast<float>(p.z + cloud.shift[2]);
        std::fprintf(out, "%.9g %.9g %.9g %.9g %.9g %.9g\n", x, y, z, p.r, p.g, p.b);
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

bool writeBinaryPly(const PointCloud& cloud, FILE* out) {
    const char* type = cloud.shifted ? "double" : "float";
    const PointAttributes& a = cloud.attributes;
    const bool intensity = a.has(kIntensity), classification = a.has(kClassification);
    std::fprintf(out,
                 "ply\nformat binary_little_endian 1.0\nelement vertex %d\n"
                 "property %s x\nproperty %s y\nproperty %s z\n"
                 "property uchar red\nproperty uchar green\nproperty uchar blue\n%s%send_header\n",
                 static_cast<int>(cloud.count), type, type, type,
                 intensity ? "property ushort intensity\n" : "",
                 classification ? "property uchar classification\n" : "");
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        unsigned char record[30];
        size_t at = 0;
        const float position[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (cloud.shifted) {
                const double value = position[axis] + cloud.shift[axis];
                std::memcpy(record + at, &value, sizeof value);
                at += sizeof value;
            } else {
                std::memcpy(record + at, &position[axis], sizeof(float));
                at += sizeof(float);
            }
        }
        record[at++] = toByte(p.r);
        record[at++] = toByte(p.g);
        record[at++] = toByte(p.b);
        if (intensity) {
            std::memcpy(record + at, &a.intensity[i], sizeof(uint16_t));
            at += sizeof(uint16_t);
        }
        if (classification)
            record[at++] = a.classification[i];
        if (std::fwrite(record, 1, at, out) != at)
            return false;
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

FloatRounding floatRounding(const PointCloud& cloud) {
    double low[3], high[3], largest[3] = {0.0, 0.0, 0.0};
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = INFINITY;
        high[axis] = -INFINITY;
    }
    for (int32_t i = 0; i < cloud.count; ++i) {
        const float stored[3] = {cloud.points[i].x, cloud.points[i].y, cloud.points[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            if (!std::isfinite(stored[axis]))
                continue;
            // Exact in double: a float plus a whole-number shift well inside 2^53.
            const double file = double(stored[axis]) + cloud.shift[axis];
            largest[axis] = std::max(largest[axis], std::fabs(double(float(file)) - file));
            low[axis] = std::min(low[axis], file);
            high[axis] = std::max(high[axis], file);
        }
    }
    double extent = 0.0;
    for (int axis = 0; axis < 3; ++axis)
        if (high[axis] > low[axis])
            extent = std::max(extent, high[axis] - low[axis]);
    FloatRounding rounding;
    double worst = -1.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double tolerance =
            cloud.precision[axis] > 0.0 ? cloud.precision[axis] : 1e-5 * extent;
        const bool exceeds = largest[axis] > tolerance;
        const double ratio =
            tolerance > 0.0 ? largest[axis] / tolerance : (exceeds ? INFINITY : 0.0);
        rounding.exceeds = rounding.exceeds || exceeds;
        if (ratio > worst) {
            worst = ratio;
            rounding.axis = axis;
            rounding.largest = largest[axis];
            rounding.tolerance = tolerance;
        }
    }
    return rounding;
}
