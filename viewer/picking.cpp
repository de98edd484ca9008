// viewer/picking.cpp - projecting every point to find the one under the pointer.
#include "viewer/picking.h"

int64_t nearestPointOnScreen(const PointRecord* points, int64_t count, const View& view, double x,
                             double y, double radius, const PointVisibility* visibility) {
    // clip = projection x modelview x (p, 1): one matrix for the whole loop.
    double m[16];
    view.combined(m);
    const double halfWidth = view.viewport[2] * 0.5, halfHeight = view.viewport[3] * 0.5;
    const double centreX = view.viewport[0] + halfWidth, centreY = view.viewport[1] + halfHeight;
    int64_t best = -1;
    double bestDistance = radius * radius, bestDepth = 0.0;
    for (int64_t i = 0; i < count; ++i) {
        const double p[3] = {points[i].x, points[i].y, points[i].z};
        const double w = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15];
        const double cz = m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14];
        // Inside the near and far planes; a NaN fails every comparison and is skipped.
        if (!(w > 0.0 && cz >= -w && cz <= w))
            continue;
        if (visibility != nullptr && !visibility->shows(i))
            continue;
        const double cx = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12];
        const double cy = m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13];
        const double dx = centreX + halfWidth * cx / w - x;
        const double dy = centreY + halfHeight * cy / w - y;
        const double distance = dx * dx + dy * dy;
        const double depth = cz / w;
        const bool nearer =
            distance < bestDistance || (distance == bestDistance && depth < bestDepth);
        if (distance <= radius * radius && (best < 0 || nearer)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}
