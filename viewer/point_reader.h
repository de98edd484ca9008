// viewer/point_reader.h - reading a point file into memory, shared by every reader.
#pragma once

#include <cstdint>

// One point: position then colour, six contiguous floats so each triple can go to OpenGL.
struct PointRecord {
    float x, y, z;
    float r, g, b;
};

enum class ReadOutcome {
    Read,           // points holds count complete records (possibly none)
    CannotOpen,     // the file could not be opened, or is a directory
    CannotAllocate, // the declared count is negative or its records cannot be allocated
};

// What a reader hands back. On Read, points is owned by the caller (release it with
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

// Whether an open file is a directory. A directory opens for reading but holds no points, so
// every reader refuses it as a file that can't be opened rather than show it as an empty cloud.
bool isDirectory(int fd);

// Storage for count records, shared by every reader so that releasePoints fits them all.
// Returns nullptr for a negative count or when the storage cannot be had. A count of 0 is a
// valid request and gives a non-null pointer.
PointRecord* allocatePoints(int64_t count);
void releasePoints(PointRecord* points);
