// viewer/lod/lod_source.h - what a frame of a large cloud draws: the nodes of an octree chosen
// for its view.
#pragma once

#include "viewer/point_raster.h"
#include "viewer/view.h"

#include <cstdint>
#include <vector>

// The distance between points, in pixels, below which a node is not refined: the picture at rest
// then lights what drawing every point would, to within a percent.
constexpr double kRefinePixels = 1.0;

// A frame's nodes as runs of points, in the order they are drawn.
struct LodFrame {
    std::vector<PointSegment> segments;
    int64_t points = 0;
    // Every node the view wants at rest is in the frame: the picture at rest.
    bool complete = false;
};

// A cloud drawn by level of detail. The frame scheduler asks it for each frame's nodes.
class LodSource {
public:
    virtual ~LodSource() = default;
    // The frame for view. With a budget of 0 or more: the most wanted nodes within that many
    // points (coarser and nearer first), as a frame while a button is held, or the first of a
    // frame at rest, draws them. With a budget below 0: every wanted node there is. cloud is the
    // cloud's records with the colours chosen, for a source whose nodes are runs of them.
    virtual LodFrame frame(const View& view, int64_t budget, const PointSource& cloud) = 0;
};
