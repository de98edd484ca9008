// viewer/level_of_detail.h - when the viewer's cloud gets its level of detail, and which points
// the frames draw meanwhile.
#pragma once

#include "io/byte_source.h"
#include "io/ept/ept_dataset.h"
#include "io/point_cloud.h"
#include "viewer/lod/copc_lod.h"
#include "viewer/lod/lod_source.h"
#include "viewer/point_query.h"
#include "viewer/point_visibility.h"
#include "viewer/view.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Whether head is the start of an octree LAZ file, and the points its header declares.
bool octreeHead(const unsigned char* head, size_t size, uint64_t& declared);
// The tiled dataset whose ept.json path is, open; null for any other file, or a dataset that
// cannot be opened (the whole read then says why).
std::unique_ptr<EptDataset> openDatasetAt(const char* path);
// Each line of damage a streamed file met, on standard error.
void printDamage(const std::vector<std::string>& damage);

// Octree LAZ files with more points than this (viewer.lodSettings may change it) are streamed
// rather than read whole, as are those whose points would not fit the memory budget.
constexpr int64_t kStreamedPointsMinimum = 4000000;
// Whether the file starts as an octree LAZ file does, and the points its header declares.
bool octreeFileHead(const char* path, uint64_t& declared);
// Whether an octree of that many points is streamed rather than read whole, alone or in a scene.
bool worthStreaming(uint64_t declared, uint64_t memoryBytes);
// When path is an octree LAZ file to stream: opens it with a budget of memoryBytes for its
// decoded points, decodes its root and gives the point set the header's box, centred on it.
// False, with nothing changed, for any other file (which is then read whole); a file that
// looks like one but cannot be streamed says why on standard error first.
bool streamOctreeFile(const char* path, uint64_t memoryBytes);
// The same for a file open through source (a URL's), whose chunks `fetchers` workers fetch
// (CopcNodeCache::open). Takes source only when it returns true.
bool streamOctreeSource(std::unique_ptr<ByteSource>& source, uint64_t memoryBytes, int fetchers);
// The same for a tiled dataset open (through a local folder or a URL's), whose node files
// `fetchers` workers fetch. Takes dataset when it returns true, and when the cache cannot be made
// (which says why): the caller then reads the dataset anew, whole.
bool streamDataset(std::unique_ptr<EptDataset>& dataset, uint64_t memoryBytes, int fetchers);

// The streamed files' levels of detail: the one file's, or a scene's parts; none else.
std::vector<CopcLod*> streamedFiles();

// After each frame of the graphics window, which is current: once a frame has shown that the
// point set has more points than a frame draws, copies a sample of it and starts its octree's
// build (when viewer.lodSettings allow), then watches for the build's end from a timer and
// redisplays the window when it comes.
void afterFrame();
// The cloud the frames draw: the octree's sample while it is built, else the point set.
const PointCloud& drawnCloud();
// Which of drawnCloud's records are shown: the point set's visibility, or while the octree is
// built one over the sample's attributes that follows the point set's switches.
PointVisibility& drawnVisibility();
// The level of detail the frames draw through; null while there is none.
LodSource* levelOfDetail();
// The points a double-click may pick: the shown points of the cloud the frames draw, as runs.
std::vector<PointSegment> pickablePoints();
// The query of the streamed file's point at exactly position (scene coordinates) among those the
// last frame drew, with its attributes; false, with query unchanged, when there is none.
bool queryStreamedPoint(const float position[3], PointQuery& query);
// Waits for a build in progress and takes its tree, or for every node of a streamed file that
// view wants: for what needs the records themselves, or the picture at rest.
void finishLevelOfDetail(const View& view);
