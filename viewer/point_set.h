// viewer/point_set.h - the viewer's cloud and its load.
#pragma once

#include "io/cloud_load.h"
#include "io/point_cloud.h"
#include "viewer/point_visibility.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The one in-memory cloud of the viewer (records, box, centroid, view distance: see PointCloud)
// and which of its records are drawn. Loaded once at start-up and never released.
struct PointSet : PointCloud {
    // The load between beginLoad and finishLoad; null when none is pending.
    std::unique_ptr<CloudLoad> pending;
    // Follows the attributes once loaded; load and finishLoad attach it with the start's hidden
    // classes, kDefaultHidden unless set before.
    PointVisibility visibility;
    std::vector<int> hiddenAtStart = PointVisibility::kDefaultHidden;

    // Reads the file into points and count, then computes the box and centroid and attaches
    // the visibility. If the file can't be read, prints the message and ends the process with
    // status 1.
    void load(const char* path);
    // load in two halves, so that a file that can't be read is reported before any window
    // exists and the windows open while it is read. beginLoad opens the file, picks its reader
    // and lets it check the header (failures end the process as in load), the body following
    // on a worker thread with every core; finishLoad waits for it, computing the box and
    // centroid of the records as they become final, and does nothing when no load is pending.
    void beginLoad(const char* path);
    // beginLoad for what is not a local file (a URL fetched whole): entry is its format and
    // read reads it.
    void beginLoadWith(const char* name, const FormatEntry& entry,
                       std::function<ReadResult(const ReadRequest&)> read);
    void finishLoad();
    // Several files as one scene (see loadScene), read whole before any window opens, but for
    // the octree files better streamed (see streamSceneParts, which this set must be the
    // viewer's for); the process ends with status 1 when none of them can be read.
    void loadFiles(const std::vector<const char*>& paths, uint64_t memoryBytes);
    // What the title and the status line call a scene: "3 files" ("1 file" when the others
    // could not be read); empty for one file opened alone.
    std::string sceneName() const;
};
