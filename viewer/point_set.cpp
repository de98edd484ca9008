// viewer/point_set.cpp - loading the point set.
#include "viewer/point_set.h"

#include "viewer/scene_load.h"
#include "viewer/scene_streaming.h"

#include <cstdio>
#include <cstdlib>
#include <new>

void PointSet::load(const char* path) {
    pending.reset();
    loadCloudOrExit(path, *this);
    visibility.attach(*this, hiddenAtStart);
}

namespace {

std::unique_ptr<CloudLoad> newLoadOrExit() {
    std::unique_ptr<CloudLoad> load(new (std::nothrow) CloudLoad);
    if (!load) {
        std::printf("Not Enough memory to allocate the point the structure\n");
        std::exit(1);
    }
    return load;
}

} // namespace

void PointSet::beginLoad(const char* path) {
    pending = newLoadOrExit();
    // The body is read on every core by a worker: the caller meanwhile mostly waits on the X
    // server as it opens the windows, then sums the box of the records read so far.
    pending->begin(path, CloudLoad::Place::WorkerEveryCore);
    pending->exitIfRefused();
}

void PointSet::beginLoadWith(const char* name, const FormatEntry& entry,
                             std::function<ReadResult(const ReadRequest&)> read) {
    pending = newLoadOrExit();
    pending->beginWith(name, entry, std::move(read), CloudLoad::Place::WorkerEveryCore);
    pending->exitIfRefused();
}

void PointSet::finishLoad() {
    if (!pending)
        return;
    pending->finish(*this);
    pending.reset();
    visibility.attach(*this, hiddenAtStart);
}

void PointSet::loadFiles(const std::vector<const char*>& paths, uint64_t memoryBytes) {
    pending.reset();
    std::vector<OctreeToStream> streamed;
    if (!loadScene(paths, memoryBytes, *this, streamed))
        std::exit(1);
    if (streamed.empty()) {
        visibility.attach(*this, hiddenAtStart);
        return;
    }
    // The viewer's point set is this one: the streamed files join it there.
    if (!streamSceneParts(streamed, memoryBytes))
        std::exit(1);
}

std::string PointSet::sceneName() const {
    if (files.empty())
        return std::string();
    return std::to_string(files.size()) + (files.size() == 1 ? " file" : " files");
}
