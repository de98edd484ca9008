// viewer/scene_load.h - several point files read whole and shown as one scene.
#pragma once

#include "io/point_cloud.h"

#include <cstdint>
#include <vector>

// Reads each of paths (files or URLs, any formats) whole, one after another with the load
// progress, and puts them together into scene (see combineClouds): one shift from the union's
// box, each file's colours and attributes its own, the files table naming where each record
// came from. A file that cannot be read says so in the one line it would say alone and is left
// out, the others still shown; so is an octree file whose points would not fit memoryBytes
// beside the files before it, a scene reading every file whole rather than streaming it.
// False, every reason said, when no file could be read or the union cannot be held.
bool loadScene(const std::vector<const char*>& paths, uint64_t memoryBytes, PointCloud& scene);
