// io/octree/octree.h - a level-of-detail octree over a cloud held in memory: the records
// reordered so that each node's points are one run, and a compact table of the nodes.
#pragma once

#include "io/copc/copc_key.h"
#include "io/point_attributes.h"
#include "io/point_records.h"

#include <cstdint>
#include <vector>

// A node of the table. The octree is additive, as in octree LAZ files: a node holds an evenly
// spread sample of what reaches its cube (at most one point per cell of a grid whose cells are
// `spacing` across), and passes the rest down to its children; a leaf keeps all that reaches it.
// Its own points are records [first, first + count); it and every node below it are records
// [first, subtreeEnd), the node's own points first, then each child's run in child order.
struct OctreeNode {
    CopcKey key;
    int64_t first = 0;
    int64_t subtreeEnd = 0;
    uint32_t count = 0;
    float spacing = 0.0f;
    int32_t firstChild = -1; // table index of its first child; the others follow it
    uint8_t childMask = 0;   // bit i: child i of the key (CopcKey::child) exists

    bool leaf() const { return childMask == 0; }
    int children() const { return __builtin_popcount(childMask); }
};

// A node's cube: [low, low + edge] on each axis, in the records' coordinates.
struct OctreeCube {
    double low[3] = {};
    double edge = 0.0;
};

// The table and the root cube. The root is nodes[0]; the table holds the nodes level by level,
// each node's children together and in child order, so the same cloud always gives the same
// table. Records [0, placed) belong to the nodes; those after have a position that is not finite
// (the native format keeps them) and belong to none, as no view can show them.
struct Octree {
    OctreeCube root;
    std::vector<OctreeNode> nodes;
    int64_t placed = 0;

    // Node key's cube: the root cube split key.level times, as octree LAZ files split theirs.
    OctreeCube cube(const CopcKey& key) const;
    // The deepest level with a node; -1 for an empty table.
    int depth() const;
    // Bytes of the table.
    size_t bytes() const { return nodes.capacity() * sizeof(OctreeNode); }
};
