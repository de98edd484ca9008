// viewer/draw_budget.h - how many points fit in a frame, learnt from the frames drawn so far.
#pragma once

#include <cstdint>

// A running estimate, per path, of the seconds a point costs and of what a frame costs besides
// its points (clearing, axes, putting the picture on screen). Frames of too few points to time
// well teach nothing about the cost per point. Until a path has been timed it is assumed to be
// slow, so that the first frames are fast ones.
class DrawBudget {
public:
    // One frame: points drawn in pointSeconds, the whole frame in frameSeconds.
    void record(int path, int64_t points, double pointSeconds, double frameSeconds);
    // One pass of points alone, as a whole frame is drawn in several.
    void recordPass(int path, int64_t points, double seconds);
    // The points a frame of the path can draw in frameSeconds; never below minimumPoints.
    int64_t pointsFor(int path, double frameSeconds) const;
    double secondsPerPoint(int path) const { return perPoint_[path]; }

    static constexpr int64_t minimumPoints = 16384;
    static constexpr int kPaths = 2;

private:
    // A GL_POINTS rate of software rasterisers (5 M points a second); a GPU soon shows better.
    double perPoint_[kPaths] = {2e-7, 2e-7};
    double overhead_[kPaths] = {0.002, 0.002};
    bool timed_[kPaths] = {false, false};
};
