// viewer/scene_streaming.h - the octree files of a scene streamed beside its files read whole.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/streamed_tree.h"
#include "io/format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A file of a scene to be streamed: its octree open, its cache not yet made.
struct OctreeToStream {
    std::string name;
    Format format = Format::Laz;
    std::unique_ptr<StreamedTree> tree;
    const CopcFile* file = nullptr; // an octree LAZ file's header
    int fetchers = 0;               // a URL's: workers fetching its nodes
};
// Opens path (an octree LAZ file or a dataset's ept.json, a local path or a URL) into part
// when it is one and stream(the points it declares) holds. False, with nothing opened, for any
// other file; the whole read then says why when it cannot be read either.
bool openOctreeToStream(const char* path, const std::function<bool(uint64_t)>& stream,
                        OctreeToStream& part);
// Streams parts beside the point set's records (the scene's files read whole, stored against
// the shift chosen over every file's box, the streamed ones' as declared): each gets its own
// cache and level of detail, with what memoryBytes leaves beyond the records shared among
// them by their points (but never less than a quarter of an equal share of the whole). The
// point set then names every file, has every file's columns, spans every box and follows the
// estimated classes of the streamed files besides its own; the frames draw every part
// together (viewer.sceneLod) with one height and one intensity ramp. A part whose cache cannot
// be made says why and is left out. False when no file at all is left.
bool streamSceneParts(std::vector<OctreeToStream>& parts, uint64_t memoryBytes);
