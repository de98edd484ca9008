// viewer/draw_budget.cpp - the running estimate of a frame's cost.
#include "viewer/draw_budget.h"

#include <algorithm>

namespace {

// Weight of the newest frame: a few frames follow a change of load, one slow frame (another
// program on the core) does not halve the budget.
constexpr double kNewest = 0.3;
constexpr int64_t kFewestTimed = 20000;

} // namespace

void DrawBudget::record(int kind, int64_t points, double pointSeconds, double frameSeconds) {
    if (kind < 0 || kind >= kKinds)
        return;
    const double rest = std::max(0.0, frameSeconds - pointSeconds);
    overhead_[kind] += kNewest * (rest - overhead_[kind]);
    recordPass(kind, points, pointSeconds);
}

void DrawBudget::recordPass(int kind, int64_t points, double pointSeconds) {
    if (kind < 0 || kind >= kKinds || points < kFewestTimed)
        return;
    // One frame slowed by another program (the machine may be shared) moves the estimate by
    // at most half again, so that the subset does not collapse for it.
    const double perPoint = std::min(pointSeconds / double(points), perPoint_[kind] * 2.5);
    perPoint_[kind] =
        timed_[kind] ? perPoint_[kind] + kNewest * (perPoint - perPoint_[kind]) : perPoint;
    timed_[kind] = true;
}

void DrawBudget::assume(int kind, double perPoint) {
    if (kind >= 0 && kind < kKinds && !timed_[kind] && perPoint > 0.0)
        perPoint_[kind] = perPoint;
}

int64_t DrawBudget::pointsFor(int kind, double frameSeconds) const {
    if (kind < 0 || kind >= kKinds)
        return minimumPoints;
    const double left = frameSeconds - overhead_[kind];
    const double points = left > 0.0 && perPoint_[kind] > 0.0 ? left / perPoint_[kind] : 0.0;
    return std::max<int64_t>(minimumPoints, static_cast<int64_t>(std::min(points, 4e9)));
}
