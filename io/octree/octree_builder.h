// io/octree/octree_builder.h - the octree of a cloud in memory, built in place and in parallel.
#pragma once

#include "io/octree/octree.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

struct OctreeOptions {
    // Threads the build may use (see usableCores); the tree does not depend on it.
    int threads = 1;
    // The most points a node holds: a node reached by no more keeps them all and is a leaf; a
    // larger one samples them on the finest grid that keeps its sample within this.
    uint32_t nodePoints = 65536;
    // Cells a side of the finest sample grid, a power of two up to 128.
    int grid = 128;
    // A node this deep keeps everything that reaches it (a pile of identical points would
    // otherwise go down without end).
    int deepest = 24;
    // Set from another thread to give the build up: buildOctree then returns false.
    const std::atomic<bool>* cancel = nullptr;
};

// What a build cost besides the records: the largest amount of temporary memory it held at
// once (sample grids, the table as it grew), for measurements.
struct OctreeBuildStats {
    size_t temporaryBytes = 0;
};

// Builds the octree of records[0, count): reorders the records, and every attribute column
// present alike (entry i still describes record i), into the nodes' runs, in parallel through
// the process's pool. The root cube has its lowest corner on the box's and the box's largest
// extent as its edge. Works in place: beyond the table it needs a few hundred kilobytes per
// thread. False when it was cancelled or memory ran out; the records are then in some order
// (every one still there, with its attributes) and octree is empty; false too for more records
// than a node counts (2^32 - 1), which are left as they are.
bool buildOctree(PointRecord* records, int64_t count, PointAttributes* attributes,
                 const OctreeOptions& options, Octree& octree, OctreeBuildStats* stats = nullptr);
