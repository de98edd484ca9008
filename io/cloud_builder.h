// io/cloud_builder.h - points added one at a time (OBJ, E57, PLY vertices with lists), stored as
// floats against a shift, non-finite positions dropped.
#pragma once

#include "io/read_result.h"
#include "io/shift.h"

#include <cstdint>

// Grows the records as points arrive (exactly once when the count is known up front), holds
// them as float(file - provisional shift) with the shift taken from the first point, and hands
// them to a ReadResult with the shift settled.
class CloudBuilder {
public:
    CloudBuilder() = default;
    ~CloudBuilder() { releasePoints(points_); }
    CloudBuilder(const CloudBuilder&) = delete;
    CloudBuilder& operator=(const CloudBuilder&) = delete;

    // Room for this many points; false when it cannot be had.
    bool reserve(int64_t count);
    // False only when storage cannot grow. A non-finite x, y or z is counted, not stored.
    bool add(double x, double y, double z, float r, float g, float b);
    int64_t count() const { return count_; }
    int64_t dropped() const { return dropped_; }
    PointRecord* points() { return points_; }
    // Moves the points, the count of dropped ones and the settled shift into result.
    void finish(ReadResult& result);
    // After reserve or add failed: result says how much storage could not be had.
    void cannotGrow(ReadResult& result) const;

private:
    PointRecord* points_ = nullptr;
    int64_t count_ = 0;
    int64_t capacity_ = 0;
    int64_t requested_ = 0; // the capacity last asked for
    int64_t dropped_ = 0;
    bool started_ = false;
    double shift_[3] = {0.0, 0.0, 0.0};
    StoredBox box_; // of the stored points, for the shift
};
