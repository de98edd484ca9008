// io/cloud_writer.h - writing a cloud as a native point file or as binary PLY.
#pragma once

#include "io/point_cloud.h"

#include <cstdio>

// "# points = N" then one record a line, positions in file coordinates (the shift added back)
// and colours 0..1, each the float the native reader will make of it, with the digits that give
// that float back and no more. False on a write error.
bool writeNative(const PointCloud& cloud, FILE* out);
// Binary little-endian PLY: float x y z, or double when a shift was applied so that the file
// coordinates survive, then uchar red green blue, and ushort intensity and uchar classification
// when the cloud has them.
bool writeBinaryPly(const PointCloud& cloud, FILE* out);

// What writing a cloud's file coordinates (the shift added back) as 32-bit floats, as the native
// format keeps them, would cost, against what the file itself resolves: its coordinate step
// (precision, the LAS scale) where it has one, else 1e-5 of the cloud's largest extent.
struct FloatRounding {
    int axis = 0;           // the axis that loses most against its tolerance
    double largest = 0.0;   // on that axis: the largest move of a coordinate, in file units
    double tolerance = 0.0; // on that axis: what the file resolves
    bool exceeds = false;   // some coordinate would move by more than its axis's tolerance
};
FloatRounding floatRounding(const PointCloud& cloud);
