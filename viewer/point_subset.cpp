// viewer/point_subset.cpp - stratified sampling of record indices.
#include "viewer/point_subset.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t kSmallestSubset = 16384;

// splitmix64's finaliser: well mixed bits from consecutive stratum numbers.
uint64_t mix(uint64_t value) {
    value += 0x9e3779b97f4a7c15ull;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ull;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebull;
    return value ^ (value >> 31);
}

} // namespace

void PointSubset::sample(int64_t count, int64_t size, const uint32_t* from, uint64_t fromVersion) {
    size = std::clamp<int64_t>(size, 0, count);
    if (count == count_ && size == this->size() && from == from_ && fromVersion == fromVersion_)
        return;
    count_ = count;
    from_ = from;
    fromVersion_ = fromVersion;
    indices_.resize(size_t(size));
    for (int64_t i = 0; i < size; ++i) {
        const int64_t first = i * count / size;
        const int64_t length = (i + 1) * count / size - first;
        const int64_t k = first + int64_t(mix(uint64_t(i)) % uint64_t(length));
        indices_[size_t(i)] = from != nullptr ? from[k] : static_cast<uint32_t>(k);
    }
}

int64_t subsetSizeFor(int64_t budget) {
    if (budget <= kSmallestSubset)
        return kSmallestSubset;
    // Quarter steps of a power of two.
    const double steps = std::floor(std::log2(double(budget) / double(kSmallestSubset)) * 4.0);
    return std::min(budget, static_cast<int64_t>(double(kSmallestSubset) * std::exp2(steps / 4.0)));
}
