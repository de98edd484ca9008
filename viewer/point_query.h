// viewer/point_query.h - what a double-click tells of a point: its position in the file's own
// coordinates, its colour and every attribute the cloud keeps, as the lines of a box.
#pragma once

#include "io/point_cloud.h"

#include <cstdint>
#include <string>
#include <vector>

// The point a double-click marked: where its cross goes, in the records' coordinates, and the
// lines of the box beside it, made at once, so that nothing here depends on where the record
// is later kept.
struct PointQuery {
    bool marked = false;
    double position[3] = {};
    std::vector<std::string> lines;
    // In a scene of several files, the one the point came from.
    std::string file;
};

// The query of record index of the cloud: in a scene of several files first the file it came
// from, then x, y and z in file coordinates, the colour when the file has colours (0 to 255
// each), then class (code and name), intensity, return (n of m),
// GPS time, point source, scan angle (degrees), user data and flags, those the cloud (in a
// scene, the point's file) has.
PointQuery queryPoint(const PointCloud& cloud, int64_t index);
// The same of a point held apart from the cloud's records (a streamed file's node), entry index
// of attributes describing it; the cloud gives the shift, the digits and the colour source. A
// scene's streamed file gives its entry in the files table as file.
PointQuery queryRecord(const PointCloud& cloud, const PointRecord& point,
                       const PointAttributes& attributes, size_t index,
                       const SceneFile* file = nullptr);
// The query of a point known by its position only (scene coordinates): x, y and z.
PointQuery queryPosition(const PointCloud& cloud, const float position[3]);

// Decimals a file coordinate or a distance of the cloud has: every digit of the file's scale
// where it has one (LAS), else as many as a float holds at the size of the records' coordinates.
int coordinateDecimals(const PointCloud& cloud);
// A stored position in file coordinates: in double, plus the shift.
void fileCoordinates(const PointCloud& cloud, const float stored[3], double position[3]);
// value with that many decimals; -0 is written as 0.
std::string decimalText(double value, int decimals);
