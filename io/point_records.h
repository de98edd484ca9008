// io/point_records.h - the in-memory point record and the storage every reader shares.
#pragma once

#include <cmath>
#include <cstdint>

// One point: position then colour, six contiguous floats so each triple can go to OpenGL.
struct PointRecord {
    float x, y, z;
    float r, g, b;
};

// Whether a position's x, y and z are all finite. A NaN or infinite one would make the box and
// the camera's matrices NaN and blank the whole view, so readers leave such points out.
template <class T> inline bool finitePosition(T x, T y, T z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}
template <class T> inline bool finitePosition(const T xyz[3]) {
    return finitePosition(xyz[0], xyz[1], xyz[2]);
}
inline bool finitePosition(const PointRecord& p) {
    return finitePosition(p.x, p.y, p.z);
}

// Where the records' colours come from. Intensity: the reader leaves each point's raw
// intensity in r, and the loading code turns it into grey scaled over the file's range. None:
// the loading code paints a height ramp along z.
enum class ColourKind { Rgb, Intensity, None };

// Storage for count records, shared by every reader so that releasePoints fits them all.
// Returns nullptr for a negative count or when the storage cannot be had. A count of 0 is a
// valid request and gives a non-null pointer.
PointRecord* allocatePoints(int64_t count);
void releasePoints(PointRecord* points);
