// io/las/las14_records.cpp - the scale found from the points, and records packed field by field.
#include "io/las/las14_records.h"

#include "io/byte_order.h"
#include "io/octree/record_columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Points looked at to find the grid the coordinates lie on: enough that points off any grid
// coarser than the float step all passing by chance is out of the question.
constexpr int64_t kGridSample = 4096;
constexpr int kFinestScaleExponent = -15;
// Below INT32_MAX by a margin for the rounding of the stored floats.
constexpr double kLargestInteger = 2.0e9;

int32_t toInteger(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded > INT32_MIN))
        return INT32_MIN;
    return rounded < INT32_MAX ? int32_t(rounded) : INT32_MAX;
}

uint16_t toColour(float value) {
    return uint16_t(std::lround(std::min(std::max(value, 0.0f), 1.0f) * 65535.0f));
}

// Whether every sampled coordinate on the axis (all three for -1) lies within tolerance of
// residual plus a multiple of scale.
bool onGrid(const PointCloud& cloud, int axis, double scale, double residual, double tolerance) {
    const int64_t step = std::max<int64_t>(1, cloud.count / kGridSample);
    for (int64_t i = 0; i < cloud.count; i += step) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        const float xyz[3] = {p.x, p.y, p.z};
        for (int a = 0; a < 3; ++a) {
            if (axis >= 0 && a != axis)
                continue;
            const double v = double(xyz[a]) - residual;
            if (std::fabs(v - std::nearbyint(v / scale) * scale) > tolerance)
                return false;
        }
    }
    return true;
}

// A float's step at this magnitude.
double floatStep(float magnitude) {
    return magnitude > 0.0f ? std::ldexp(1.0, std::ilogb(magnitude) - 23) : 0.0;
}

// Where the grid of this scale lies on the axis: the sampled coordinates' common remainder,
// averaged round the circle (a remainder near 0 and one near the scale are neighbours) so that
// the floats' rounding evens out, then put on a thousandth of the scale, as offsets are round.
double gridResidual(const PointCloud& cloud, int axis, double scale) {
    const int64_t step = std::max<int64_t>(1, cloud.count / kGridSample);
    const double turn = 2.0 * M_PI / scale;
    double sine = 0.0, cosine = 0.0;
    for (int64_t i = 0; i < cloud.count; i += step) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        const double v = (&p.x)[axis];
        sine += std::sin(v * turn);
        cosine += std::cos(v * turn);
    }
    const double residual = std::atan2(sine, cosine) / turn;
    return std::nearbyint(residual / scale * 1000.0) * scale / 1000.0;
}

// Whether the points lie on the grid of the file's own step on the axis, and its integers fit;
// residual is then where that grid lies against the shift (the file's offset less the shift
// need not be a multiple of the step).
bool onFileGrid(const PointCloud& cloud, int axis, float largestOn, double& residual) {
    const double scale = cloud.precision[axis];
    if (!(scale > 0.0) || largestOn / scale > kLargestInteger)
        return false;
    residual = gridResidual(cloud, axis, scale);
    const double tolerance = std::max(2.0 * floatStep(largestOn), 1e-3 * scale);
    return onGrid(cloud, axis, scale, residual, tolerance);
}

// The file's own scale, when the points lie on its grid and its integers fit; the offset moves
// onto the grid.
bool fileFrame(const PointCloud& cloud, const float largestOn[3], Las14Frame& frame) {
    double residual[3];
    for (int axis = 0; axis < 3; ++axis)
        if (!onFileGrid(cloud, axis, largestOn[axis], residual[axis]))
            return false;
    for (int axis = 0; axis < 3; ++axis) {
        frame.scale[axis] = cloud.precision[axis];
        frame.offset[axis] += residual[axis];
    }
    return true;
}

template <class T> const T* column(const std::vector<T>& values, const PointCloud& cloud) {
    return values.size() == size_t(cloud.count) && !values.empty() ? values.data() : nullptr;
}

} // namespace

Las14Frame las14FrameAt(const PointCloud& cloud, const double scale[3]) {
    Las14Frame frame;
    const bool rgb = cloud.colour == ColourKind::Rgb;
    frame.pointFormat = rgb ? 7 : 6;
    frame.recordLength = rgb ? 36 : 30;
    frame.gpsStandardTime = cloud.attributes.gpsStandardTime;
    for (int axis = 0; axis < 3; ++axis) {
        frame.scale[axis] = scale[axis];
        frame.offset[axis] = cloud.shifted ? cloud.shift[axis] : 0.0;
    }
    return frame;
}

namespace {

void largestOnAxes(const PointCloud& cloud, float largestOn[3]) {
    largestOn[0] = largestOn[1] = largestOn[2] = 0.0f;
    for (int64_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        largestOn[0] = std::max(largestOn[0], std::fabs(p.x));
        largestOn[1] = std::max(largestOn[1], std::fabs(p.y));
        largestOn[2] = std::max(largestOn[2], std::fabs(p.z));
    }
}

} // namespace

void moveOffsetsOntoFileGrid(const PointCloud& cloud, Las14Frame& frame) {
    float largestOn[3];
    largestOnAxes(cloud, largestOn);
    for (int axis = 0; axis < 3; ++axis) {
        double residual = 0.0;
        if (frame.scale[axis] == cloud.precision[axis] &&
            onFileGrid(cloud, axis, largestOn[axis], residual))
            frame.offset[axis] += residual;
    }
}

Las14Frame chooseLas14Frame(const PointCloud& cloud) {
    const double unset[3] = {1.0, 1.0, 1.0}; // chosen below
    Las14Frame frame = las14FrameAt(cloud, unset);

    float largestOn[3];
    largestOnAxes(cloud, largestOn);
    // The file's own scale keeps its points exactly.
    if (fileFrame(cloud, largestOn, frame))
        return frame;
    const float largest = std::max({largestOn[0], largestOn[1], largestOn[2]});
    // A float's step at the largest coordinate bounds what any stored coordinate resolves (the
    // reader's own rounding included, at two steps).
    const double step = floatStep(largest);
    int floor = step > 0.0 ? int(std::floor(std::log10(step))) : 0;
    while (floor > kFinestScaleExponent && std::pow(10.0, floor) > step)
        --floor;
    floor = std::max(floor, kFinestScaleExponent);
    int chosen = floor;
    for (int exponent = 0; exponent > floor; --exponent) {
        const double scale = std::pow(10.0, exponent);
        // Only grids well above the float step say anything.
        if (scale < 16.0 * step)
            break;
        if (onGrid(cloud, -1, scale, 0.0, 2.0 * step)) {
            chosen = exponent;
            break;
        }
    }
    for (int axis = 0; axis < 3; ++axis)
        frame.scale[axis] = std::pow(10.0, chosen);
    return frame;
}

void Las14Tally::add(const uint8_t* record) {
    ++points;
    for (int axis = 0; axis < 3; ++axis) {
        const int32_t v = loadLittle<int32_t>(record + 4 * axis);
        low[axis] = std::min(low[axis], v);
        high[axis] = std::max(high[axis], v);
    }
    const int returnNumber = record[14] & 15;
    if (returnNumber >= 1)
        ++byReturn[returnNumber - 1];
    const double gps = loadLittle<double>(record + 22);
    gpsLow = std::min(gpsLow, gps);
    gpsHigh = std::max(gpsHigh, gps);
}

void Las14Tally::join(const Las14Tally& other) {
    points += other.points;
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], other.low[axis]);
        high[axis] = std::max(high[axis], other.high[axis]);
    }
    for (int i = 0; i < 15; ++i)
        byReturn[i] += other.byReturn[i];
    gpsLow = std::min(gpsLow, other.gpsLow);
    gpsHigh = std::max(gpsHigh, other.gpsHigh);
}

int64_t moveFiniteFirst(PointCloud& cloud) {
    RecordColumns columns(cloud.points, cloud.count, &cloud.attributes);
    int64_t placed = 0;
    for (int64_t i = 0; i < cloud.count; ++i)
        if (finitePosition(cloud.points[i])) {
            if (i != placed)
                columns.swap(i, placed);
            ++placed;
        }
    return placed;
}

void makeLas14Records(const PointCloud& cloud, const Las14Frame& frame, int64_t first,
                      int64_t count, uint8_t* out, Las14Tally& tally) {
    const PointAttributes& a = cloud.attributes;
    const uint16_t* intensity = column(a.intensity, cloud);
    const uint8_t* classification = column(a.classification, cloud);
    const uint8_t* returns = column(a.returns, cloud);
    const uint8_t* flags = column(a.flags, cloud);
    const int16_t* scanAngle = column(a.scanAngle, cloud);
    const uint8_t* userData = column(a.userData, cloud);
    const uint16_t* pointSource = column(a.pointSource, cloud);
    const double* gpsTime = column(a.gpsTime, cloud);
    double move[3], inverse[3];
    for (int axis = 0; axis < 3; ++axis) {
        move[axis] = cloud.shift[axis] - frame.offset[axis];
        inverse[axis] = 1.0 / frame.scale[axis];
    }
    const uint8_t oneOfOne = PointAttributes::packReturns(1, 1);

    std::memset(out, 0, size_t(count) * frame.recordLength);
    for (int64_t k = 0; k < count; ++k) {
        const int64_t i = first + k;
        const PointRecord& p = cloud.points[i];
        uint8_t* r = out + size_t(k) * frame.recordLength;
        storeLittle(r, toInteger((p.x + move[0]) * inverse[0]));
        storeLittle(r + 4, toInteger((p.y + move[1]) * inverse[1]));
        storeLittle(r + 8, toInteger((p.z + move[2]) * inverse[2]));
        if (intensity)
            storeLittle(r + 12, intensity[i]);
        r[14] = returns ? returns[i] : oneOfOne;
        if (flags)
            r[15] = flags[i] & 0x0F;
        if (classification)
            r[16] = classification[i];
        if (userData)
            r[17] = userData[i];
        if (scanAngle)
            storeLittle(r + 18, scanAngle[i]);
        if (pointSource)
            storeLittle(r + 20, pointSource[i]);
        if (gpsTime)
            storeLittle(r + 22, gpsTime[i]);
        if (frame.pointFormat == 7) {
            storeLittle(r + 30, toColour(p.r));
            storeLittle(r + 32, toColour(p.g));
            storeLittle(r + 34, toColour(p.b));
        }
        tally.add(r);
    }
}

void describeLas14Records(const Las14Frame& frame, const Las14Tally& tally, Las14Header& header) {
    for (int axis = 0; axis < 3; ++axis) {
        header.scale[axis] = frame.scale[axis];
        header.offset[axis] = frame.offset[axis];
        // The box as a reader computes each point: integer * scale + offset.
        header.min[axis] =
            tally.points ? tally.low[axis] * frame.scale[axis] + frame.offset[axis] : 0.0;
        header.max[axis] =
            tally.points ? tally.high[axis] * frame.scale[axis] + frame.offset[axis] : 0.0;
    }
    for (int i = 0; i < 15; ++i)
        header.pointsByReturn[i] = tally.byReturn[i];
    if (frame.gpsStandardTime)
        header.globalEncoding |= 1;
}
