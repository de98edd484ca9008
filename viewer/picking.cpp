// viewer/picking.cpp - projecting every point to find the one under the pointer.
#include "viewer/picking.h"

#include <cstring>

namespace {

// The nearest so far of the points looked at, over one or more runs: found once any is within
// the radius; best is the index of the last run's point that became the nearest, -1 when none
// of that run's did.
struct Nearest {
    bool found = false;
    int64_t best = -1;
    double bestDistance = 0.0, bestDepth = 0.0;
};

// Looks at points [0, count) of a run, position(i, p) giving each (false for a point hidden),
// for the nearest to (x, y).
template <class Position>
void lookAt(Nearest& nearest, int64_t count, Position position, const View& view, double x,
            double y, double radius) {
    // clip = projection x modelview x (p, 1): one matrix for the whole loop.
    double m[16];
    view.combined(m);
    const double halfWidth = view.viewport[2] * 0.5, halfHeight = view.viewport[3] * 0.5;
    const double centreX = view.viewport[0] + halfWidth, centreY = view.viewport[1] + halfHeight;
    double &bestDistance = nearest.bestDistance, &bestDepth = nearest.bestDepth;
    if (!nearest.found)
        bestDistance = radius * radius;
    nearest.best = -1;
    for (int64_t i = 0; i < count; ++i) {
        double p[3];
        if (!position(i, p))
            continue;
        const double w = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15];
        const double cz = m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14];
        // Inside the near and far planes; a NaN fails every comparison and is skipped.
        if (!(w > 0.0 && cz >= -w && cz <= w))
            continue;
        const double cx = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12];
        const double cy = m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13];
        const double dx = centreX + halfWidth * cx / w - x;
        const double dy = centreY + halfHeight * cy / w - y;
        const double distance = dx * dx + dy * dy;
        const double depth = cz / w;
        const bool nearer =
            distance < bestDistance || (distance == bestDistance && depth < bestDepth);
        if (distance <= radius * radius && (!nearest.found || nearer)) {
            nearest.found = true;
            nearest.best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
}

} // namespace

int64_t nearestPointOnScreen(const PointRecord* points, int64_t count, const View& view, double x,
                             double y, double radius, const PointVisibility* visibility) {
    Nearest nearest;
    lookAt(
        nearest, count,
        [points, visibility](int64_t i, double p[3]) {
            if (visibility != nullptr && !visibility->shows(i))
                return false;
            p[0] = points[i].x;
            p[1] = points[i].y;
            p[2] = points[i].z;
            return true;
        },
        view, x, y, radius);
    return nearest.best;
}

bool nearestPointOnScreen(const PointSegment* segments, size_t count, const View& view, double x,
                          double y, double radius, float position[3]) {
    Nearest nearest;
    for (size_t s = 0; s < count; ++s) {
        const PointSegment& segment = segments[s];
        const char* base = static_cast<const char*>(segment.source.positions);
        const int64_t stride = segment.source.positionStride;
        auto at = [&](int64_t i, float xyz[3]) {
            const int64_t k = segment.first + i;
            const int64_t record = segment.indices != nullptr ? segment.indices[k] : k;
            std::memcpy(xyz, base + record * stride, 3 * sizeof(float));
        };
        lookAt(
            nearest, segment.count,
            [&](int64_t i, double p[3]) {
                float xyz[3];
                at(i, xyz);
                p[0] = xyz[0];
                p[1] = xyz[1];
                p[2] = xyz[2];
                return true;
            },
            view, x, y, radius);
        // A later run's nearer point replaces what an earlier one found.
        if (nearest.best >= 0)
            at(nearest.best, position);
    }
    return nearest.found;
}
