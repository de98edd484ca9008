// io/point_records.cpp - the allocator every reader shares.
#include "io/point_records.h"

#include <cstddef>
#include <new>

static_assert(sizeof(PointRecord) == 6 * sizeof(float), "a record is six packed floats");

PointRecord* allocatePoints(int64_t count) {
    // A byte size beyond PTRDIFF_MAX can't be one array; refuse it before new[] sees it.
    if (count < 0 || static_cast<uint64_t>(count) > PTRDIFF_MAX / sizeof(PointRecord))
        return nullptr;
    return new (std::nothrow) PointRecord[static_cast<size_t>(count)];
}

void releasePoints(PointRecord* points) {
    delete[] points;
}
