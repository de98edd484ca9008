// io/copc/copc_key.cpp - octree keys: checks, neighbours up and down, and their text.
#include "io/copc/copc_key.h"

bool CopcKey::valid() const {
    if (level < 0 || level > kCopcDeepestLevel)
        return false;
    const int64_t side = int64_t(1) << level;
    return x >= 0 && y >= 0 && z >= 0 && x < side && y < side && z < side;
}

CopcKey CopcKey::child(int i) const {
    return {level + 1, 2 * x + (i & 1), 2 * y + ((i >> 1) & 1), 2 * z + ((i >> 2) & 1)};
}

CopcKey CopcKey::parent() const {
    if (level == 0)
        return *this;
    return {level - 1, x >> 1, y >> 1, z >> 1};
}

bool CopcKey::covers(const CopcKey& other) const {
    if (other.level < level || other.level - level > kCopcDeepestLevel)
        return false;
    const int shift = other.level - level;
    return (other.x >> shift) == x && (other.y >> shift) == y && (other.z >> shift) == z;
}

std::string CopcKey::text() const {
    return std::to_string(level) + "-" + std::to_string(x) + "-" + std::to_string(y) + "-" +
           std::to_string(z);
}
