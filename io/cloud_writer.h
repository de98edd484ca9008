// io/cloud_writer.h - writing a cloud as a native point file or as binary PLY.
#pragma once

#include "io/point_cloud.h"

#include <cstdio>

// "# points = N" then one record a line, positions in file coordinates (the shift added back)
// and colours 0..1, each with enough digits to give back the float it was. False on a write
// error.
bool writeNative(const PointCloud& cloud, FILE* out);
// Binary little-endian PLY: float x y z, or double when a shift was applied so that the file
// coordinates survive, then uchar red green blue, and ushort intensity and uchar classification
// when the cloud has them.
bool writeBinaryPly(const PointCloud& cloud, FILE* out);
