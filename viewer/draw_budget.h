// viewer/draw_budget.h - how many points fit in a frame, learnt from the frames drawn so far.
#pragma once

#include <cstdint>

// A running estimate, per kind of drawing, of the seconds a point costs and of what a frame
// costs besides its points (clearing, axes, putting the picture on screen). A kind is a path and
// whether the points are a sample, whose scattered records cost more each than a run of them.
// Frames of too few points to time well teach nothing about the cost per point. Until a kind has
// been timed it is assumed to be slow, so that the first frames are fast ones.
class DrawBudget {
public:
    // One frame: points drawn in pointSeconds, the whole frame in frameSeconds.
    void record(int kind, int64_t points, double pointSeconds, double frameSeconds);
    // One pass of points alone, as a whole frame is drawn in several.
    void recordPass(int kind, int64_t points, double seconds);
    // The cost of a point of a kind not timed yet, from a measurement beside the frames.
    void assume(int kind, double perPoint);
    // The points a frame of the path can draw in frameSeconds; never below minimumPoints.
    int64_t pointsFor(int kind, double frameSeconds) const;
    double secondsPerPoint(int kind) const { return perPoint_[kind]; }

    static constexpr int64_t minimumPoints = 16384;
    static constexpr int kKinds = 4;

private:
    // A GL_POINTS rate of software rasterisers (5 M points a second); a GPU soon shows better.
    double perPoint_[kKinds] = {2e-7, 2e-7, 2e-7, 2e-7};
    double overhead_[kKinds] = {0.002, 0.002, 0.002, 0.002};
    bool timed_[kKinds] = {};
};
