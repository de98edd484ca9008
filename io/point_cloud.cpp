// io/point_cloud.cpp - the box, centroid and view distance of a cloud.
#include "io/point_cloud.h"

#include <algorithm>
#include <cmath>
#include <limits>

void PointCloud::computeBounds() {
    BoundsSum bounds;
    bounds.add(points, 0, count);
    bounds.applyTo(*this);
}

template <bool kBox>
void BoundsSum::addRecords(const PointRecord* points, int64_t from, int64_t to) {
    // Bounds start empty rather than at a fixed range so that the box is exactly that of the
    // points wherever they lie; the sums are doubles because float sums stop moving on large
    // clouds. A NaN or infinite position would make the box and the camera matrices NaN and
    // blank the whole view, so such points are left out of both.
    for (int64_t i = from; i < to; ++i) {
        const float position[3] = {points[i].x, points[i].y, points[i].z};
        if (!finitePosition(position))
            continue;
        for (int axis = 0; axis < 3; ++axis) {
            sum_[axis] += position[axis];
            if (kBox) {
                low_[axis] = std::min(low_[axis], position[axis]);
                high_[axis] = std::max(high_[axis], position[axis]);
            }
        }
        ++used_;
    }
}

void BoundsSum::add(const PointRecord* points, int64_t from, int64_t to) {
    addRecords<true>(points, from, to);
}

void BoundsSum::addToCentroid(const PointRecord* points, int64_t from, int64_t to) {
    addRecords<false>(points, from, to);
}

void BoundsSum::takeBox(const float low[3], const float high[3]) {
    std::copy(low, low + 3, low_);
    std::copy(high, high + 3, high_);
}

void BoundsSum::applyTo(PointCloud& cloud) const {
    float low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = used_ ? low_[axis] : 0.0f;
        high[axis] = used_ ? high_[axis] : 0.0f;
    }
    cloud.nearCorner[0] = low[0];
    cloud.nearCorner[1] = low[1];
    cloud.nearCorner[2] = high[2];
    cloud.farCorner[0] = high[0];
    cloud.farCorner[1] = high[1];
    cloud.farCorner[2] = low[2];
    for (int axis = 0; axis < 3; ++axis)
        cloud.centroid[axis] =
            used_ ? static_cast<float>(sum_[axis] / static_cast<double>(used_)) : 0.0f;
}

void PointCloud::computeViewDistance(float fieldOfViewX) {
    double extent = static_cast<double>(farCorner[0]) - nearCorner[0];
    // With no x extent the distance would be 0 and the box's front face would sit on the eye,
    // in front of the near plane: frame the cloud by its other extents instead.
    if (extent == 0.0) {
        const double ySize = static_cast<double>(farCorner[1]) - nearCorner[1];
        const double zSize = static_cast<double>(nearCorner[2]) - farCorner[2];
        extent = std::max(ySize, zSize);
    }
    if (extent == 0.0)
        extent = 1.0;
    viewDistance = static_cast<float>(extent * 0.5 / std::tan(fieldOfViewX * 0.008726646255) * 1.1);
}
