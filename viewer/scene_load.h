// viewer/scene_load.h - several point files read whole or opened to be streamed, and shown as
// one scene.
#pragma once

#include "io/point_cloud.h"
#include "viewer/scene_streaming.h"

#include <cstdint>
#include <vector>

// Reads each of paths (files or URLs, any formats) whole, one after another with the load
// progress, and puts them together into scene (see combineClouds): one shift from the union's
// box, each file's colours and attributes its own, the files table naming where each record
// came from. An octree file (an octree LAZ file or a dataset) that would be streamed alone, or
// whose points would not fit memoryBytes beside the files read before it, is opened into
// streamed instead (see streamSceneParts): its declared box joins the union's for the shift.
// A file that cannot be read says so in the one line it would say alone and is left out, the
// others still shown. False, every reason said, when no file could be read or opened or the
// union cannot be held.
bool loadScene(const std::vector<const char*>& paths, uint64_t memoryBytes, PointCloud& scene,
               std::vector<OctreeToStream>& streamed);
