// io/cloud_builder.cpp - growth, the provisional shift and its settling.
#include "io/cloud_builder.h"

#include "io/parallel.h"
#include "io/shift.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <sys/mman.h>

bool CloudBuilder::reserve(int64_t count) {
    if (count <= capacity_)
        return true;
    PointRecord* grown = allocatePoints(count);
    if (!grown)
        return false;
    if (count_)
        std::memcpy(grown, points_, sizeof(PointRecord) * static_cast<size_t>(count_));
    releasePoints(points_);
    points_ = grown;
    capacity_ = count;
    return true;
}

bool CloudBuilder::add(double x, double y, double z, float r, float g, float b) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        ++dropped_;
        return true;
    }
    if (count_ == capacity_ && !reserve(std::max<int64_t>(1024, capacity_ + capacity_ / 2)))
        return false;
    if (!started_) {
        const double first[3] = {x, y, z};
        provisionalShift(first, shift_);
        started_ = true;
    }
    points_[count_++] = {static_cast<float>(x - shift_[0]),
                         static_cast<float>(y - shift_[1]),
                         static_cast<float>(z - shift_[2]),
                         r,
                         g,
                         b};
    return true;
}

void CloudBuilder::useShiftOf(const CloudBuilder& other) {
    std::copy(other.shift_, other.shift_ + 3, shift_);
    started_ = true;
}

bool CloudBuilder::append(const CloudBuilder& other) {
    if (!reserve(count_ + other.count_))
        return false;
    if (other.count_)
        std::memcpy(points_ + count_, other.points_,
                    sizeof(PointRecord) * static_cast<size_t>(other.count_));
    count_ += other.count_;
    dropped_ += other.dropped_;
    return true;
}

void CloudBuilder::finish(ReadResult& result) {
    if (!points_)
        reserve(1);
    result.points = points_;
    result.count = count_;
    result.dropped = dropped_;
    points_ = nullptr;
    count_ = capacity_ = 0;
    settleShift(result, shift_);
}

void adviseHugePages(PointRecord* points, int64_t count) {
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(points);
    const uintptr_t end = start + static_cast<uintptr_t>(count) * sizeof(PointRecord);
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1), last = end & ~(kHuge - 1);
    if (count > 0 && last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void StoredBox::join(const StoredBox& other) {
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], other.low[axis]);
        high[axis] = std::max(high[axis], other.high[axis]);
    }
}

// settleShift's decisions, taken from the box instead of a pass over the records.
void settleShiftOverBox(ReadResult& result, const double provisional[3], const StoredBox& box,
                        int threads) {
    const bool wasShifted = provisional[0] != 0.0 || provisional[1] != 0.0 || provisional[2] != 0.0;
    result.shifted = false;
    if (result.count == 0)
        return;
    double low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = box.low[axis] + provisional[axis];
        high[axis] = box.high[axis] + provisional[axis];
    }
    double shift[3];
    const bool needed = chooseShift(low, high, shift);
    if (!needed)
        std::fill(shift, shift + 3, 0.0);
    if (!needed && !wasShifted)
        return;
    const double move[3] = {provisional[0] - shift[0], provisional[1] - shift[1],
                            provisional[2] - shift[2]};
    if (move[0] != 0.0 || move[1] != 0.0 || move[2] != 0.0) {
        PointRecord* points = result.points;
        runInParts(result.count, threads, [&](int64_t begin, int64_t end, int) {
            for (int64_t i = begin; i < end; ++i) {
                PointRecord& p = points[i];
                p.x = static_cast<float>(p.x + move[0]);
                p.y = static_cast<float>(p.y + move[1]);
                p.z = static_cast<float>(p.z + move[2]);
            }
        });
    }
    result.shifted = needed;
    std::copy(shift, shift + 3, result.shift);
}
