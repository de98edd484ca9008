// viewer/lod/lod_tree.h - the nodes of a level-of-detail octree as frames see them, and the
// choice of the nodes a view wants.
#pragma once

#include "io/copc/copc_key.h"
#include "viewer/view.h"

#include <cstdint>
#include <functional>
#include <vector>

// A node: its cube and the distance between its points in scene coordinates (those of the
// records, which the view's modelview takes to the eye), and how many points it holds. The
// octree is additive: a node's points are a sample of its cube, its children's add to them.
struct LodNode {
    CopcKey key;
    double low[3] = {};
    double edge = 0.0;
    double spacing = 0.0;
    int64_t points = 0;
    int32_t firstChild = -1; // the children follow each other from here, once known
    int32_t children = 0;
    bool childrenKnown = true;
};

// A node a view wants, and how many pixels its spacing covers at its nearest.
struct WantedNode {
    int32_t node = 0;
    double pixels = 0.0;
};

// Fills in the children of a node whose children are not known yet, appending them to the
// table; a tree read from an index learns them as it is walked.
using ExpandNode = std::function<void(int32_t node)>;

// Every node the view wants at rest, most wanted first: the root, and the children of every
// wanted node whose spacing covers more than refinePixels pixels, each only when its cube is
// at least partly in the view volume. Larger spacing on screen first, so coarser and nearer
// nodes come before finer and farther ones and a node before its children; ties go by key. A
// cube that reaches the eye's plane is as large on screen as can be.
void chooseNodes(std::vector<LodNode>& nodes, const View& view, double refinePixels,
                 const ExpandNode& expand, std::vector<WantedNode>& wanted);

// The pixels that one scene unit covers at a depth of one unit in front of the eye (the depth
// divides it for a perspective view), by the larger of the two axes.
double pixelsPerUnitAtUnitDepth(const View& view);

// What a frame draws of the wanted nodes.
struct LodPlan {
    std::vector<int32_t> nodes; // in key order: level first
    int64_t points = 0;
    // Every wanted node is drawn: what a frame at rest shows.
    bool complete = false;
};

// The wanted nodes (most wanted first) a frame of at most budget points draws, of those drawable
// says can be drawn (null: all): the most wanted, taken in turn until the next one would pass the
// budget, the first one always; with a budget below 0, every drawable one.
LodPlan planFrame(const std::vector<LodNode>& nodes, const std::vector<WantedNode>& wanted,
                  int64_t budget, const std::function<bool(int32_t)>& drawable);
