// viewer/draw_budget.cpp - the running estimate of a frame's cost.
#include "viewer/draw_budget.h"

#include <algorithm>

namespace {

// Weight of the newest frame: a few frames follow a change of load, one slow frame (another
// program on the core) does not halve the budget.
constexpr double kNewest = 0.3;
constexpr int64_t kFewestTimed = 20000;

} // namespace

void DrawBudget::record(int path, int64_t points, double pointSeconds, double frameSeconds) {
    if (path < 0 || path >= kPaths)
        return;
    const double rest = std::max(0.0, frameSeconds - pointSeconds);
    overhead_[path] += kNewest * (rest - overhead_[path]);
    recordPass(path, points, pointSeconds);
}

void DrawBudget::recordPass(int path, int64_t points, double pointSeconds) {
    if (path < 0 || path >= kPaths || points < kFewestTimed)
        return;
    const double perPoint = pointSeconds / double(points);
    perPoint_[path] =
        timed_[path] ? perPoint_[path] + kNewest * (perPoint - perPoint_[path]) : perPoint;
    timed_[path] = true;
}

int64_t DrawBudget::pointsFor(int path, double frameSeconds) const {
    if (path < 0 || path >= kPaths)
        return minimumPoints;
    const double left = frameSeconds - overhead_[path];
    const double points = left > 0.0 && perPoint_[path] > 0.0 ? left / perPoint_[path] : 0.0;
    return std::max<int64_t>(minimumPoints, static_cast<int64_t>(std::min(points, 4e9)));
}
