// io/point_records.h - the in-memory point record and the storage every reader shares.
#pragma once

#include <cstdint>

// One point: position then colour, six contiguous floats so each triple can go to OpenGL.
struct PointRecord {
    float x, y, z;
    float r, g, b;
};

// Storage for count records, shared by every reader so that releasePoints fits them all.
// Returns nullptr for a negative count or when the storage cannot be had. A count of 0 is a
// valid request and gives a non-null pointer.
PointRecord* allocatePoints(int64_t count);
void releasePoints(PointRecord* points);

// Whether an open file is a directory. A directory opens for reading but holds no points, so
// every reader refuses it as a file that can't be opened rather than show it as an empty cloud.
bool isDirectory(int fd);
