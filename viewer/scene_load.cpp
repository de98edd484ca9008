// viewer/scene_load.cpp - reading the files of a scene and putting them together.
#include "viewer/scene_load.h"

#include "io/cloud_load.h"
#include "io/cloud_union.h"
#include "io/shift.h"
#include "net/remote_files.h"
#include "net/url.h"
#include "viewer/level_of_detail.h"
#include "viewer/scene_streaming.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

// The points an octree file's or a dataset's header declares, when path is one opened for a
// whole read; 0 for any other file, whose size is known only once read.
uint64_t declaredOctreePoints(const char* path, const RemoteRead& remote) {
    if (remote.copc)
        return remote.copc->las().declared;
    if (remote.ept)
        return remote.ept->metadata().points;
    uint64_t declared = 0;
    return !isUrl(path) && octreeFileHead(path, declared) ? declared : 0;
}

// Whether an octree of declared points is streamed rather than read beside what bytesUsed holds.
bool streamsInScene(uint64_t declared, uint64_t memoryBytes, uint64_t bytesUsed) {
    // The part and its copy in the union are held at once.
    const uint64_t needs = declared * sizeof(PointRecord) * 2;
    return worthStreaming(declared, memoryBytes) || bytesUsed + needs > memoryBytes;
}

// Reads path whole into part, or opens it into streamed when it is an octree better streamed;
// false when it is refused (its line printed) or opened to be streamed.
bool loadPart(const char* path, uint64_t memoryBytes, uint64_t& bytesUsed, PointCloud& part,
              std::vector<OctreeToStream>& streamed) {
    RemoteRead remote;
    CloudLoad load;
    OctreeToStream octree;
    if (isUrl(path)) {
        std::string error;
        if (!openRemoteRead(path, remote, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        const uint64_t declared = declaredOctreePoints(path, remote);
        // Opened anew by ranges, or file by file: the whole read's objects are let go.
        if ((remote.copc || remote.ept) && streamsInScene(declared, memoryBytes, bytesUsed) &&
            openOctreeToStream(
                path, [](uint64_t) { return true; }, octree)) {
            streamed.push_back(std::move(octree));
            return false;
        }
    } else if (openOctreeToStream(
                   path,
                   [&](uint64_t declared) {
                       return streamsInScene(declared, memoryBytes, bytesUsed);
                   },
                   octree)) {
        streamed.push_back(std::move(octree));
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

// The shift of the union of the parts' boxes and the streamed octrees' declared ones.
void sceneShift(const std::vector<PointCloud>& parts, const std::vector<OctreeToStream>& streamed,
                double shift[3]) {
    double low[3], high[3];
    bool anyBox = false;
    auto widen = [&](const double partLow[3], const double partHigh[3]) {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = anyBox ? std::min(low[axis], partLow[axis]) : partLow[axis];
            high[axis] = anyBox ? std::max(high[axis], partHigh[axis]) : partHigh[axis];
        }
        anyBox = true;
    };
    for (const PointCloud& part : parts) {
        if (part.count <= 0)
            continue;
        double partLow[3], partHigh[3];
        for (int axis = 0; axis < 3; ++axis) {
            // The z bounds pair crosswise (see PointCloud).
            const float a = axis == 2 ? part.farCorner[axis] : part.nearCorner[axis];
            const float b = axis == 2 ? part.nearCorner[axis] : part.farCorner[axis];
            partLow[axis] = double(a) + part.shift[axis];
            partHigh[axis] = double(b) + part.shift[axis];
        }
        widen(partLow, partHigh);
    }
    for (const OctreeToStream& part : streamed) {
        double partLow[3], partHigh[3];
        part.tree->declaredBox(partLow, partHigh);
        widen(partLow, partHigh);
    }
    shift[0] = shift[1] = shift[2] = 0.0;
    if (!anyBox || !chooseShift(low, high, shift))
        shift[0] = shift[1] = shift[2] = 0.0;
}

} // namespace

bool loadScene(const std::vector<const char*>& paths, uint64_t memoryBytes, PointCloud& scene,
               std::vector<OctreeToStream>& streamed) {
    std::vector<PointCloud> parts;
    std::vector<std::string> names;
    uint64_t bytesUsed = 0;
    streamed.clear();
    for (const char* path : paths) {
        PointCloud part;
        if (!loadPart(path, memoryBytes, bytesUsed, part, streamed))
            continue;
        parts.push_back(std::move(part));
        names.push_back(path);
    }
    if (parts.empty() && streamed.empty())
        return false;
    double shift[3];
    sceneShift(parts, streamed, shift);
    if (parts.empty()) {
        scene = PointCloud();
        std::copy(shift, shift + 3, scene.shift);
        scene.shifted = shift[0] != 0.0 || shift[1] != 0.0 || shift[2] != 0.0;
        return true;
    }
    std::string error;
    // Without streamed files the union's own box gives the shift, as it always did.
    if (!combineClouds(parts, names, scene, error, streamed.empty() ? nullptr : shift)) {
        std::fprintf(stderr, "pointillist: %s\n", error.c_str());
        for (PointCloud& part : parts)
            releasePoints(part.points);
        streamed.clear();
        return false;
    }
    return true;
}
