// io/point_cloud.cpp - the box, centroid and view distance of a cloud.
#include "io/point_cloud.h"

#include <algorithm>
#include <cmath>
#include <limits>

void PointCloud::computeBounds() {
    // Bounds start empty rather than at a fixed range so that the box is exactly that of the
    // points wherever they lie; the sums are doubles because float sums stop moving on large
    // clouds. A NaN or infinite position would make the box and the camera matrices NaN and
    // blank the whole view, so such points are left out of both.
    const float inf = std::numeric_limits<float>::infinity();
    float low[3] = {inf, inf, inf};
    float high[3] = {-inf, -inf, -inf};
    double sum[3] = {0.0, 0.0, 0.0};
    int64_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        const float position[3] = {points[i].x, points[i].y, points[i].z};
        if (!std::isfinite(position[0]) || !std::isfinite(position[1]) ||
            !std::isfinite(position[2]))
            continue;
        for (int axis = 0; axis < 3; ++axis) {
            sum[axis] += position[axis];
            low[axis] = std::min(low[axis], position[axis]);
            high[axis] = std::max(high[axis], position[axis]);
        }
        ++used;
    }
    if (used == 0) {
        std::fill(low, low + 3, 0.0f);
        std::fill(high, high + 3, 0.0f);
    }

    nearCorner[0] = low[0];
    nearCorner[1] = low[1];
    nearCorner[2] = high[2];
    farCorner[0] = high[0];
    farCorner[1] = high[1];
    farCorner[2] = low[2];
    for (int axis = 0; axis < 3; ++axis)
        centroid[axis] = used ? static_cast<float>(sum[axis] / static_cast<double>(used)) : 0.0f;
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
