// io/octree/octree.cpp - node cubes from keys, and the table's depth.
#include "io/octree/octree.h"

#include <cmath>

OctreeCube Octree::cube(const CopcKey& key) const {
    // From the key alone, never by halving the parent's cube step by step, so that the builder
    // and every reader of the table get the same numbers.
    const double edge = root.edge / std::ldexp(1.0, key.level);
    const int32_t place[3] = {key.x, key.y, key.z};
    OctreeCube cube;
    for (int axis = 0; axis < 3; ++axis)
        cube.low[axis] = root.low[axis] + place[axis] * edge;
    cube.edge = edge;
    return cube;
}

int Octree::depth() const {
    // The table goes level by level: the last node is among the deepest.
    return nodes.empty() ? -1 : nodes.back().key.level;
}
