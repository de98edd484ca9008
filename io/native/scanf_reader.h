// io/native/scanf_reader.h - the native "# points = N" format read with fscanf: the reference
// every faster reader of the format must equal.
#pragma once

#include "io/point_records.h"

#include <cstdint>

enum class ReadOutcome {
    Read,           // points holds count complete records (possibly none)
    CannotOpen,     // the file could not be opened, or is a directory
    CannotAllocate, // the declared count is negative or its records cannot be allocated
};

// What a native reader hands back. On Read, points is owned by the caller (release it with
// releasePoints) and count is the number of complete records before the first record that does
// not scan completely; nothing after that record is read. A header that does not match gives
// an empty result.
struct PointReadResult {
    ReadOutcome outcome = ReadOutcome::Read;
    PointRecord* points = nullptr;
    int32_t count = 0;
};

// The straightforward reader: the header and each record read with fscanf.
PointReadResult readPointFileScanf(const char* path);
