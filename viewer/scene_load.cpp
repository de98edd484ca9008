// viewer/scene_load.cpp - reading the files of a scene and putting them together.
#include "viewer/scene_load.h"

#include "io/cloud_load.h"
#include "io/cloud_union.h"
#include "net/remote_files.h"
#include "net/url.h"
#include "viewer/level_of_detail.h"

#include <cstdio>
#include <string>

namespace {

// The points an octree file's header declares, when path is one (local or remote); 0 for any
// other file, whose size is known only once read.
uint64_t declaredOctreePoints(const char* path, const RemoteRead& remote) {
    if (remote.copc)
        return remote.copc->las().declared;
    uint64_t declared = 0;
    return !isUrl(path) && octreeFileHead(path, declared) ? declared : 0;
}

// Reads path whole into part; false when it is refused (its line printed) or left out.
bool loadPart(const char* path, uint64_t memoryBytes, uint64_t& bytesUsed, PointCloud& part) {
    RemoteRead remote;
    CloudLoad load;
    if (isUrl(path)) {
        std::string error;
        if (!openRemoteRead(path, remote, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
    }
    // The part and its copy in the union are held at once.
    const uint64_t declared = declaredOctreePoints(path, remote);
    const uint64_t needs = declared * sizeof(PointRecord) * 2;
    if (declared > 0 && bytesUsed + needs > memoryBytes) {
        std::fprintf(stderr,
                     "pointillist: %s: its %llu points do not fit the memory budget beside the "
                     "other files, and a scene reads each file whole; left out (--memory sets "
                     "the budget)\n",
                     path, static_cast<unsigned long long>(declared));
        return false;
    }
    if (remote.entry)
        load.beginWith(path, *remote.entry, remote.read, CloudLoad::Place::Here);
    else
        load.begin(path, CloudLoad::Place::Here);
    if (load.reportRefusal())
        return false;
    // Colours standing in for those a file lacks are ramped over every such file at once.
    load.finish(part, false);
    bytesUsed += uint64_t(part.count) * sizeof(PointRecord) * 2;
    return true;
}

} // namespace

bool loadScene(const std::vector<const char*>& paths, uint64_t memoryBytes, PointCloud& scene) {
    std::vector<PointCloud> parts;
    std::vector<std::string> names;
    uint64_t bytesUsed = 0;
    for (const char* path : paths) {
        PointCloud part;
        if (!loadPart(path, memoryBytes, bytesUsed, part))
            continue;
        parts.push_back(std::move(part));
        names.push_back(path);
    }
    if (parts.empty())
        return false;
    std::string error;
    if (!combineClouds(parts, names, scene, error)) {
        std::fprintf(stderr, "pointillist: %s\n", error.c_str());
        for (PointCloud& part : parts)
            releasePoints(part.points);
        return false;
    }
    return true;
}
