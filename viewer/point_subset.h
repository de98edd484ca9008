// viewer/point_subset.h - an evenly spread sample of a cloud's records, drawn while it moves.
#pragma once

#include <cstdint>
#include <vector>

// size records of count: the records split into size strata of (nearly) equal length in record
// order, and one record taken from each at a place a fixed hash of the stratum picks. The
// indices ascend, so the sample keeps the records' order; the same size gives the same sample,
// so a drag shows no flicker. Only the indices are kept, never a copy of the points. With a list
// of records (ascending, count of them, changing version whenever its content does), the sample
// is of the list's entries: the records it names.
class PointSubset {
public:
    void sample(int64_t count, int64_t size, const uint32_t* from = nullptr,
                uint64_t fromVersion = 0);
    const uint32_t* indices() const { return indices_.data(); }
    int64_t size() const { return static_cast<int64_t>(indices_.size()); }
    int64_t of() const { return count_; }

private:
    std::vector<uint32_t> indices_;
    int64_t count_ = 0;
    const uint32_t* from_ = nullptr;
    uint64_t fromVersion_ = 0;
};

// The sizes a subset takes: steps of about 19 % from 16384 up, so that a budget that wanders
// a little keeps its subset. The largest step not above budget, at least the first.
int64_t subsetSizeFor(int64_t budget);
