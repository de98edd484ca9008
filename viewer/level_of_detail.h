// viewer/level_of_detail.h - when the viewer's cloud gets its level of detail, and which points
// the frames draw meanwhile.
#pragma once

#include "io/point_cloud.h"
#include "viewer/lod/lod_source.h"

#include <vector>

// After each frame of the graphics window, which is current: once a frame has shown that the
// point set has more points than a frame draws, copies a sample of it and starts its octree's
// build (when viewer.lodSettings allow), then watches for the build's end from a timer and
// redisplays the window when it comes.
void afterFrame();
// The cloud the frames draw: the octree's sample while it is built, else the point set.
const PointCloud& drawnCloud();
// The level of detail the frames draw through; null while there is none.
LodSource* levelOfDetail();
// The points a double-click may pick: the cloud the frames draw, as runs.
std::vector<PointSegment> pickablePoints();
// Waits for a build in progress and takes its tree: for what needs the records themselves.
void finishLevelOfDetail();
