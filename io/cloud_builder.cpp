// io/cloud_builder.cpp - growth, the provisional shift and its settling.
#include "io/cloud_builder.h"

#include "io/shift.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool CloudBuilder::reserve(int64_t count) {
    if (count <= capacity_)
        return true;
    requested_ = count;
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

void CloudBuilder::cannotGrow(ReadResult& result) const {
    cannotAllocate(result, requested_, static_cast<uint64_t>(requested_) * sizeof(PointRecord));
}

bool CloudBuilder::add(double x, double y, double z, float r, float g, float b) {
    if (!finitePosition(x, y, z)) {
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
    points_[count_] = {static_cast<float>(x - shift_[0]),
                       static_cast<float>(y - shift_[1]),
                       static_cast<float>(z - shift_[2]),
                       r,
                       g,
                       b};
    box_.add(points_[count_++]);
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
    settleShift(result, shift_, box_, 1);
}
