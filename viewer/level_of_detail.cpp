// viewer/level_of_detail.cpp - the octree's build started after a frame, and its end watched;
// one streamed file opened.
#include "viewer/level_of_detail.h"

#include "io/copc/copc_file.h"
#include "io/copc/copc_octree.h"
#include "io/ept/ept_octree.h"
#include "io/las/las_layout.h"
#include "io/las/las_record.h"
#include "io/shift.h"
#include "net/http_client.h"
#include "net/remote_files.h"
#include "net/url.h"
#include "threads/worker_pool.h"
#include "viewer/point_renderer.h"
#include "viewer/point_subset.h"
#include "viewer/remote_cloud.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <new>
#include <unistd.h>

namespace {

// The sample drawn while the octree is built: a frame's subset, but no more than this share of
// the cloud, so that the copy stays small beside the records.
constexpr int64_t kSampleShare = 25;
// How often the timer looks for the build's end.
constexpr int kWatchMilliseconds = 10;
// How often, at most, the status line is redrawn for new figures of what is being fetched.
constexpr int64_t kFetchingRefresh = 250;

int graphicsWindow = 0;
// Since the octree's build ended, no frame yet: a frame in progress still holds the sample.
bool recordsMoved = false;

void treeTaken() {
    recordsMoved = true;
    // The records have moved: colours made for them, and the list of those shown, are in the
    // old order.
    viewer.pointColours.release();
    viewer.pointSet.visibility.changed();
    // A whole frame in progress holds the sample, which is gone.
    viewer.frameScheduler.cancel();
    if (graphicsWindow) {
        const int previous = glutGetWindow();
        glutSetWindow(graphicsWindow);
        glutPostRedisplay();
        if (previous && previous != graphicsWindow)
            glutSetWindow(previous);
    }
}

} // namespace

bool octreeHead(const unsigned char* head, size_t size, uint64_t& declared) {
    if (size < kCopcHeadBytes || !hasCopcSignature(head, size))
        return false;
    // LAS 1.4's 64-bit count, at byte 247.
    declared = 0;
    for (int i = 7; i >= 0; --i)
        declared = declared << 8 | head[247 + i];
    return true;
}

std::unique_ptr<EptDataset> openDatasetAt(const char* path) {
    // Any point file comes here first: only a head that looks like a description is read on.
    std::ifstream in(path, std::ios::binary);
    char head[4096];
    in.read(head, sizeof head);
    if (!hasEptSignature(reinterpret_cast<const unsigned char*>(head), size_t(in.gcount())))
        return nullptr;
    std::vector<uint8_t> json(head, head + in.gcount());
    json.insert(json.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string ignored;
    return EptDataset::open(openLocalFolder(folderOf(path)), json.data(), json.size(), ignored);
}

void printDamage(const std::vector<std::string>& damage) {
    for (const std::string& line : damage)
        std::fprintf(stderr, "pointillist: %s\n", line.c_str());
}

bool octreeFileHead(const char* path, uint64_t& declared) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[kCopcHeadBytes];
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return got == static_cast<ssize_t>(sizeof head) && octreeHead(head, sizeof head, declared);
}

// Large files, and those whose points would not fit the budget, are streamed.
bool worthStreaming(uint64_t declared, uint64_t memoryBytes) {
    const int64_t above = std::max<int64_t>(viewer.lodSettings.streamPointsAbove, 0);
    return declared > uint64_t(above) || declared * sizeof(PointRecord) > memoryBytes;
}

std::vector<CopcLod*> streamedFiles() {
    if (viewer.copcLod)
        return {viewer.copcLod.get()};
    std::vector<CopcLod*> parts;
    if (viewer.sceneLod)
        for (const std::unique_ptr<CopcLod>& part : viewer.sceneLod->parts())
            parts.push_back(part.get());
    return parts;
}

namespace {

bool watchingNodes = false;

bool anyBusy(const std::vector<CopcLod*>& lods) {
    for (const CopcLod* lod : lods)
        if (lod->cache().busy())
            return true;
    return false;
}

// While an octree file's nodes are being decoded: takes them in as they come and has the
// window show them.
void watchNodes(int) {
    const std::vector<CopcLod*> lods = streamedFiles();
    if (lods.empty()) {
        watchingNodes = false;
        return;
    }
    size_t arrived = 0;
    for (CopcLod* lod : lods) {
        std::vector<std::string> damage;
        arrived += lod->collect(damage);
        printDamage(damage);
    }
    if (arrived > 0 && graphicsWindow) {
        const int previous = glutGetWindow();
        glutSetWindow(graphicsWindow);
        // A scene's last frame drew the sample of its records, now gone: the redisplay the
        // build's end asked for draws the arrivals too.
        if (!recordsMoved)
            viewer.frameScheduler.nodesArrived();
        if (previous && previous != graphicsWindow)
            glutSetWindow(previous);
    }
    // The status line's figures of what is fetched change between arrivals too.
    static std::string fetchingShown;
    static int64_t shownAt = 0;
    const int64_t now = glutGet(GLUT_ELAPSED_TIME);
    if (viewer.displaySettings.showStatus && graphicsWindow && now - shownAt >= kFetchingRefresh) {
        const std::string fetching = fetchingStatus();
        if (fetching != fetchingShown) {
            fetchingShown = fetching;
            shownAt = now;
            const int previous = glutGetWindow();
            glutSetWindow(graphicsWindow);
            glutPostRedisplay();
            if (previous && previous != graphicsWindow)
                glutSetWindow(previous);
        }
    }
    watchingNodes = anyBusy(lods);
    if (watchingNodes)
        glutTimerFunc(kWatchMilliseconds, watchNodes, 0);
}

void watchBuild(int) {
    CloudOctree* octree = viewer.cloudOctree.get();
    if (!octree || octree->state() != CloudOctree::State::Building)
        return;
    if (octree->poll())
        treeTaken();
    else
        glutTimerFunc(kWatchMilliseconds, watchBuild, 0);
}

// Makes cache (opened on the file or dataset name names) what the frames draw; with no cache,
// says why (error) and leaves the file to be read whole.
bool startStreaming(std::unique_ptr<CopcNodeCache> cache, const std::string& error,
                    const std::string& name, Format format) {
    if (!cache) {
        std::fprintf(stderr, "pointillist: %s: %s; reading it whole\n", name.c_str(),
                     error.c_str());
        return false;
    }
    std::unique_ptr<CopcLod> lod(new (std::nothrow) CopcLod(std::move(cache)));
    if (!lod)
        return false;
    lod->refinePixels = viewer.lodSettings.refinePixels;
    const StreamedTree& tree = lod->cache().octree();
    PointSet& set = viewer.pointSet;
    set.format = format;
    set.formatDescription = tree.formatLine();
    set.colour = tree.colour();
    tree.precision(set.precision);
    set.shifted = lod->cache().shifted();
    const double* shift = lod->cache().shift();
    double boxLow[3], boxHigh[3];
    tree.declaredBox(boxLow, boxHigh);
    for (int axis = 0; axis < 3; ++axis) {
        set.shift[axis] = shift[axis];
        const float low = static_cast<float>(boxLow[axis] - shift[axis]);
        const float high = static_cast<float>(boxHigh[axis] - shift[axis]);
        set.nearCorner[axis] = axis == 2 ? high : low;
        set.farCorner[axis] = axis == 2 ? low : high;
        set.centroid[axis] = static_cast<float>((boxLow[axis] + boxHigh[axis]) / 2 - shift[axis]);
    }
    set.computeViewDistance(kFramingFieldOfViewX);
    // The columns the nodes carry, though the set holds no records: the colour modes offered
    // and the classes window follow them.
    set.attributes = PointAttributes();
    set.attributes.present = tree.attributes();
    if (format == Format::Laz)
        set.attributes.gpsStandardTime =
            (lod->cache().file().las().globalEncoding & 1) && set.attributes.has(kGpsTime);
    int64_t classes[256], withheld[256];
    lod->estimateClassCounts(classes, withheld);
    set.visibility.attachEstimate(set.attributes.has(kClassification), classes, withheld,
                                  set.hiddenAtStart);
    lod->follow(&viewer.displaySettings.colourMode, &set.visibility);
    viewer.pointColours.fixRamps(lod->ramps());
    std::vector<std::string> damage;
    lod->collect(damage);
    printDamage(damage);
    viewer.copcLod = std::move(lod);
    return true;
}

} // namespace

bool streamOctreeFile(const char* path, uint64_t memoryBytes) {
    uint64_t declared = 0;
    std::string error;
    if (octreeFileHead(path, declared)) {
        if (!worthStreaming(declared, memoryBytes))
            return false;
        std::unique_ptr<ByteSource> source = openLocalFile(path, error);
        if (!source) {
            std::fprintf(stderr, "pointillist: %s; reading it whole\n", error.c_str());
            return false;
        }
        return startStreaming(CopcNodeCache::open(std::move(source), memoryBytes, usableCores(), 0,
                                                  error, kCopcLodPointBytes),
                              error, path, Format::Laz);
    }
    std::unique_ptr<EptDataset> dataset = openDatasetAt(path);
    return dataset && streamDataset(dataset, memoryBytes, 0);
}

bool streamOctreeSource(std::unique_ptr<ByteSource>& source, uint64_t memoryBytes, int fetchers) {
    std::vector<uint8_t> head;
    std::string error;
    uint64_t declared = 0;
    if (source->size() < int64_t(kCopcHeadBytes) ||
        !source->read(0, int64_t(kCopcHeadBytes), head, error) ||
        !octreeHead(head.data(), head.size(), declared) || !worthStreaming(declared, memoryBytes))
        return false;
    const std::string name = source->name();
    return startStreaming(CopcNodeCache::open(std::move(source), memoryBytes, usableCores(),
                                              fetchers, error, kCopcLodPointBytes),
                          error, name, Format::Laz);
}

bool streamDataset(std::unique_ptr<EptDataset>& dataset, uint64_t memoryBytes, int fetchers) {
    if (!worthStreaming(dataset->metadata().points, memoryBytes))
        return false;
    const std::string name = dataset->folder().locate("ept.json");
    std::unique_ptr<StreamedTree> tree(new (std::nothrow) EptOctree(std::move(dataset)));
    std::string error = "not enough memory";
    return startStreaming(tree ? CopcNodeCache::open(std::move(tree), memoryBytes, usableCores(),
                                                     fetchers, error, kCopcLodPointBytes)
                               : nullptr,
                          error, name, Format::Ept);
}

void afterFrame() {
    recordsMoved = false;
    const std::vector<CopcLod*> lods = streamedFiles();
    if (!lods.empty()) {
        // A watch still pending from an earlier window takes this one.
        graphicsWindow = glutGetWindow();
        if (!watchingNodes && anyBusy(lods)) {
            watchingNodes = true;
            glutTimerFunc(kWatchMilliseconds, watchNodes, 0);
        }
    }
    // A scene's files read whole get their octree as one file's records do.
    if (viewer.copcLod)
        return;
    PointSet& set = viewer.pointSet;
    FrameScheduler& scheduler = viewer.frameScheduler;
    if (viewer.cloudOctree || !viewer.lodSettings.buildOctree || set.pending || !set.points ||
        set.count <= scheduler.frameBudget(false))
        return;
    viewer.cloudOctree.reset(new (std::nothrow) CloudOctree);
    if (!viewer.cloudOctree)
        return;
    // Nothing may read the records while they move: a whole frame of them in progress goes.
    scheduler.cancel();
    // The ramps are counted over every record before they move; frames of the sample use them.
    viewer.pointColours.intensityRangeOf(set);
    viewer.pointColours.heightSpanOf(set);
    PointSubset sample;
    sample.sample(set.count, std::min<int64_t>(subsetSizeFor(scheduler.frameBudget(true)),
                                               set.count / kSampleShare));
    OctreeOptions options = viewer.lodSettings.octree;
    options.threads = usableCores();
    viewer.cloudOctree->refinePixels = viewer.lodSettings.refinePixels;
    viewer.cloudOctree->start(set, sample.indices(), sample.size(), options);
    graphicsWindow = glutGetWindow();
    if (viewer.cloudOctree->state() == CloudOctree::State::Building) {
        glutTimerFunc(kWatchMilliseconds, watchBuild, 0);
        // The next frame draws the sample rather than the records.
        glutPostRedisplay();
    }
}

const PointCloud& drawnCloud() {
    const CloudOctree* octree = viewer.cloudOctree.get();
    if (octree && octree->state() == CloudOctree::State::Building)
        return octree->sample();
    return viewer.pointSet;
}

PointVisibility& drawnVisibility() {
    PointVisibility& visibility = viewer.pointSet.visibility;
    CloudOctree* octree = viewer.cloudOctree.get();
    if (!octree || octree->state() != CloudOctree::State::Building)
        return visibility;
    PointVisibility& sampleVisibility = octree->sampleVisibility();
    // The check boxes and `w` change the point set's switches.
    if (!std::equal(std::begin(visibility.classShown), std::end(visibility.classShown),
                    std::begin(sampleVisibility.classShown)) ||
        visibility.withheldShown != sampleVisibility.withheldShown) {
        std::copy(std::begin(visibility.classShown), std::end(visibility.classShown),
                  std::begin(sampleVisibility.classShown));
        sampleVisibility.withheldShown = visibility.withheldShown;
        sampleVisibility.changed();
    }
    return sampleVisibility;
}

LodSource* levelOfDetail() {
    if (viewer.copcLod)
        return viewer.copcLod.get();
    CloudOctree* octree = viewer.cloudOctree.get();
    LodSource* ready = octree && octree->state() == CloudOctree::State::Ready ? octree : nullptr;
    if (viewer.sceneLod) {
        // The records are drawn through the octree once built, the shown ones of the cloud
        // drawn (the sample while it is built) before.
        viewer.sceneLod->holdRecords(ready, &drawnVisibility());
        return viewer.sceneLod.get();
    }
    return ready;
}

void finishLevelOfDetail(const View& view) {
    for (CopcLod* lod : streamedFiles()) {
        std::vector<std::string> damage;
        lod->settle(view, damage);
        printDamage(damage);
    }
    if (viewer.copcLod)
        return;
    CloudOctree* octree = viewer.cloudOctree.get();
    if (!octree || octree->state() != CloudOctree::State::Building)
        return;
    while (!octree->poll())
        octree->waitForEnd();
    treeTaken();
}

bool queryStreamedPoint(const float position[3], PointQuery& query) {
    const std::vector<CopcLod*> lods = streamedFiles();
    const PointSet& set = viewer.pointSet;
    for (size_t k = 0; k < lods.size(); ++k) {
        const CachedNode* node = nullptr;
        size_t index = 0;
        if (!lods[k]->drawnPointAt(position, node, index))
            continue;
        // A scene's streamed files follow those read whole in its table.
        const size_t file = set.files.size() - lods.size() + k;
        query =
            queryRecord(set, node->points[index], node->attributes, index,
                        viewer.sceneLod && file < set.files.size() ? &set.files[file] : nullptr);
        return true;
    }
    return false;
}

std::vector<PointSegment> pickablePoints() {
    if (viewer.copcLod)
        return viewer.copcLod->lastSegments();
    const PointCloud& cloud = drawnCloud();
    PointVisibility& visibility = drawnVisibility();
    // A switch changed since the last frame: the list is made anew, and a whole frame in progress
    // holds the old one. It is given up, as the redraw the switch asked for would give it up.
    if (visibility.stale())
        viewer.frameScheduler.cancel();
    PointSegment shown;
    shown.source = recordSource(cloud.points, cloud.count);
    shown.indices = visibility.drawn();
    shown.count = shown.indices != nullptr ? visibility.drawnCount() : cloud.count;
    std::vector<PointSegment> pickable = {shown};
    // A scene's streamed files: the nodes they drew last.
    for (CopcLod* lod : streamedFiles())
        pickable.insert(pickable.end(), lod->lastSegments().begin(), lod->lastSegments().end());
    return pickable;
}
