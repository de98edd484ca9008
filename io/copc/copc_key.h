// io/copc/copc_key.h - the name of an octree node: its level and its place at that level.
#pragma once

#include <cstdint>
#include <string>

// The deepest level a key may name: cubes there are 2^30 times smaller than the root, and its
// children's places still fit in 32 bits.
constexpr int32_t kCopcDeepestLevel = 30;

// Node (level, x, y, z), written "level-x-y-z"; at level d, 0 <= x, y, z < 2^d. The root is
// 0-0-0-0 and node (d, x, y, z) has the children (d+1, 2x+i, 2y+j, 2z+k).
struct CopcKey {
    int32_t level = 0, x = 0, y = 0, z = 0;

    // Whether the key names a node of the octree.
    bool valid() const;
    // Child i of eight (for a valid key): bit 0 the upper half in x, bit 1 in y, bit 2 in z.
    CopcKey child(int i) const;
    // The node one level up; the root is its own parent.
    CopcKey parent() const;
    // Whether other is this node or lies below it.
    bool covers(const CopcKey& other) const;
    std::string text() const;
};

inline bool operator==(const CopcKey& a, const CopcKey& b) {
    return a.level == b.level && a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator!=(const CopcKey& a, const CopcKey& b) {
    return !(a == b);
}
// Level first, so that a walk in key order goes down the tree one level at a time.
inline bool operator<(const CopcKey& a, const CopcKey& b) {
    if (a.level != b.level)
        return a.level < b.level;
    if (a.x != b.x)
        return a.x < b.x;
    if (a.y != b.y)
        return a.y < b.y;
    return a.z < b.z;
}
