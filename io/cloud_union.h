// io/cloud_union.h - several loaded clouds put together as one scene with one shift.
#pragma once

#include "io/point_cloud.h"

#include <cstddef>
#include <string>
#include <vector>

// The most files a scene holds: the records' origin column counts them in 16 bits.
constexpr size_t kMostSceneFiles = 65535;

// Puts parts, each loaded as a cloud of its own against its own shift, together into scene:
// their records one file after another, moved to the one shift the union's box needs by the
// rule of a single file (chooseShift), so that a file alone and the same points split over
// several files are stored alike; each part's colours as they were, but for parts without
// colours (ColourKind Intensity or None), whose raw values are coloured here over every part
// of their kind at once (applyColourKind), as one file's are over it; every attribute column
// any part has, with 0 for the records of parts without it (the files table says which have
// it); the table of files and each record's origin; the box and centroid of the union, its
// finest precision, dropped points summed and warnings named by file. names[i] names parts[i].
// Each part's records are released once copied and the parts are left empty. False with scene
// untouched and error set when the union cannot be held (more than INT32_MAX records or files
// beyond kMostSceneFiles, or no memory); the parts are then left as they were. A scene with
// files held elsewhere (streamed) gives the shift chosen over their boxes too, in shift.
bool combineClouds(std::vector<PointCloud>& parts, const std::vector<std::string>& names,
                   PointCloud& scene, std::string& error, const double* shift = nullptr);
