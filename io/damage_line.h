// io/damage_line.h - the damaged parts of an octree file or dataset, named in one line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Names the first few parts; past them the rest are only counted, so that a badly damaged file
// still gives one readable line.
inline std::string joinDamage(const std::vector<std::string>& damage) {
    constexpr size_t kMostNamed = 8;
    std::string line;
    for (size_t i = 0; i < damage.size() && i < kMostNamed; ++i)
        line += (i ? "; " : "") + damage[i];
    if (damage.size() > kMostNamed)
        line += "; and " + std::to_string(damage.size() - kMostNamed) + " more damaged parts";
    return line;
}
