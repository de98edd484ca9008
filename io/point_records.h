// io/point_records.h - the in-memory point record and the storage every reader shares.
#pragma once

#include <cstdint>

// One point: position then colour, six contiguous floats so each triple can go to OpenGL.
struct PointRecord {
    float x, y, z;
    float r, g, b;
};

// Where the records' colours come from. Intensity: the reader leaves each point's raw
// intensity in r, and the loading code turns it into grey scaled over the file's range. None:
// the loading code paints a height ramp along z.
enum class ColourKind { Rgb, Intensity, None };

// Storage for count records, shared by every reader so that releasePoints fits them all.
// Returns nullptr for a negative count or when the storage cannot be had. A count of 0 is a
// valid request and gives a non-null pointer.
PointRecord* allocatePoints(int64_t count);
void releasePoints(PointRecord* points);
