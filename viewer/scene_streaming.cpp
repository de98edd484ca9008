// viewer/scene_streaming.cpp - a scene's octree files opened, given their share of the memory,
// and drawn beside the records read whole with one shift and one ramp.
#include "viewer/scene_streaming.h"

#include "io/copc/copc_octree.h"
#include "io/ept/ept_octree.h"
#include "net/http_client.h"
#include "net/remote_files.h"
#include "net/url.h"
#include "threads/worker_pool.h"
#include "viewer/level_of_detail.h"
#include "viewer/remote_cloud.h"
#include "viewer/viewer_state.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

// The octree LAZ file source reads, opened into part when stream(its declared points) holds.
bool openOctreeSource(std::unique_ptr<ByteSource> source,
                      const std::function<bool(uint64_t)>& stream, OctreeToStream& part) {
    std::vector<uint8_t> head;
    std::string error;
    uint64_t declared = 0;
    if (source->size() < int64_t(kCopcHeadBytes) ||
        !source->read(0, int64_t(kCopcHeadBytes), head, error) ||
        !octreeHead(head.data(), head.size(), declared) || !stream(declared))
        return false;
    std::unique_ptr<CopcFile> file = CopcFile::open(std::move(source), error);
    if (!file) {
        std::fprintf(stderr, "pointillist: %s: %s; reading it whole\n", part.name.c_str(),
                     error.c_str());
        return false;
    }
    part.file = file.get();
    part.tree.reset(new (std::nothrow) CopcOctree(std::move(file)));
    return part.tree != nullptr;
}

bool openDatasetToStream(std::unique_ptr<EptDataset> dataset,
                         const std::function<bool(uint64_t)>& stream, OctreeToStream& part) {
    if (!dataset || !stream(dataset->metadata().points))
        return false;
    part.format = Format::Ept;
    part.tree.reset(new (std::nothrow) EptOctree(std::move(dataset)));
    return part.tree != nullptr;
}

// Widens low..high (stored coordinates) to hold the box another..anotherHigh.
void widenBox(float low[3], float high[3], const float otherLow[3], const float otherHigh[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], otherLow[axis]);
        high[axis] = std::max(high[axis], otherHigh[axis]);
    }
}

// The height and intensity ramps of the scene: those of the records held and of every streamed
// file's root, widened to hold them all, so that a height or an intensity has one colour in
// every file.
ColourRamps sceneRamps(PointSet& set, const std::vector<std::unique_ptr<CopcLod>>& lods) {
    ColourRamps ramps;
    bool height = false, intensity = false;
    auto widen = [](auto& span, const auto& other, bool& any) {
        span.low = any ? std::min(span.low, other.low) : other.low;
        span.high = any ? std::max(span.high, other.high) : other.high;
        any = true;
    };
    if (set.count > 0) {
        widen(ramps.height, viewer.pointColours.heightSpanOf(set), height);
        bool held = false;
        for (const SceneFile& file : set.files)
            held |= file.count > 0 && file.has(kIntensity);
        if (held)
            widen(ramps.intensity, viewer.pointColours.intensityRangeOf(set), intensity);
    }
    for (const std::unique_ptr<CopcLod>& lod : lods) {
        widen(ramps.height, lod->ramps().height, height);
        if (lod->cache().octree().attributes() & kIntensity)
            widen(ramps.intensity, lod->ramps().intensity, intensity);
    }
    return ramps;
}

} // namespace

bool openOctreeToStream(const char* path, const std::function<bool(uint64_t)>& stream,
                        OctreeToStream& part) {
    part = OctreeToStream();
    part.name = path;
    std::string error;
    if (isUrl(path)) {
        std::shared_ptr<HttpClient> client = sharedHttpClient();
        part.fetchers = client ? client->options().maxConnections : 0;
        // The program ends with std::exit, perhaps while nodes are still being fetched.
        cancelFetchesAtExit();
        if (namesEptDataset(path))
            return openDatasetToStream(openEptDataset(path, error), stream, part);
        std::unique_ptr<ByteSource> source = openSource(path, error);
        return source && openOctreeSource(std::move(source), stream, part);
    }
    uint64_t declared = 0;
    if (octreeFileHead(path, declared)) {
        std::unique_ptr<ByteSource> source = openLocalFile(path, error);
        return source && openOctreeSource(std::move(source), stream, part);
    }
    return openDatasetToStream(openDatasetAt(path), stream, part);
}

bool streamSceneParts(std::vector<OctreeToStream>& parts, uint64_t memoryBytes) {
    PointSet& set = viewer.pointSet;
    // The records held are counted first; the rest of the budget is the streamed files'.
    const uint64_t held = uint64_t(set.count) *
                          (sizeof(PointRecord) + set.attributes.bytesPerPoint() + sizeof(uint16_t));
    const uint64_t left = memoryBytes > held ? memoryBytes - held : 0;
    uint64_t declared = 0;
    for (const OctreeToStream& part : parts)
        declared += part.tree->declaredPoints();
    const uint64_t floor = parts.empty() ? 0 : memoryBytes / (4 * parts.size());

    float low[3], high[3];
    bool anyBox = set.count > 0;
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = axis == 2 ? set.farCorner[axis] : set.nearCorner[axis];
        high[axis] = axis == 2 ? set.nearCorner[axis] : set.farCorner[axis];
    }
    bool everyPrecise =
        set.count == 0 || (set.precision[0] > 0 && set.precision[1] > 0 && set.precision[2] > 0);
    std::vector<std::unique_ptr<CopcLod>> lods;
    for (OctreeToStream& part : parts) {
        const uint64_t points = part.tree->declaredPoints();
        const uint64_t share = declared > 0
                                   ? uint64_t(double(left) * double(points) / double(declared))
                                   : left / parts.size();
        std::string error = "not enough memory";
        std::unique_ptr<CopcNodeCache> cache =
            CopcNodeCache::open(std::move(part.tree), std::max(share, floor), usableCores(),
                                part.fetchers, error, kCopcLodPointBytes, set.shift);
        std::unique_ptr<CopcLod> lod(cache ? new (std::nothrow) CopcLod(std::move(cache))
                                           : nullptr);
        if (!lod) {
            std::fprintf(stderr, "pointillist: %s: %s; left out\n", part.name.c_str(),
                         error.c_str());
            continue;
        }
        lod->refinePixels = viewer.lodSettings.refinePixels;
        const StreamedTree& tree = lod->cache().octree();
        SceneFile file;
        file.name = part.name;
        file.first = set.count;
        file.format = part.format;
        file.formatDescription = tree.formatLine();
        file.colour = tree.colour();
        file.attributes = tree.attributes();
        set.files.push_back(file);
        if (set.format == Format::Native)
            set.format = part.format;
        set.attributes.present |= tree.attributes();
        if (part.file && (part.file->las().globalEncoding & 1) && file.has(kGpsTime))
            set.attributes.gpsStandardTime = true;
        double step[3];
        tree.precision(step);
        if (everyPrecise && step[0] > 0 && step[1] > 0 && step[2] > 0) {
            for (int axis = 0; axis < 3; ++axis)
                set.precision[axis] = set.precision[axis] > 0
                                          ? std::min(set.precision[axis], step[axis])
                                          : step[axis];
        } else {
            everyPrecise = false;
            set.precision[0] = set.precision[1] = set.precision[2] = 0.0;
        }
        double boxLow[3], boxHigh[3];
        tree.declaredBox(boxLow, boxHigh);
        float partLow[3], partHigh[3];
        for (int axis = 0; axis < 3; ++axis) {
            partLow[axis] = static_cast<float>(boxLow[axis] - set.shift[axis]);
            partHigh[axis] = static_cast<float>(boxHigh[axis] - set.shift[axis]);
        }
        if (!anyBox) {
            std::copy(partLow, partLow + 3, low);
            std::copy(partHigh, partHigh + 3, high);
            anyBox = true;
        }
        widenBox(low, high, partLow, partHigh);
        std::vector<std::string> damage;
        lod->collect(damage);
        printDamage(damage);
        lods.push_back(std::move(lod));
    }
    if (set.files.empty())
        return false;
    // The columns of every file, zero for the records of files without them (as in a scene
    // read whole), so that every colour mode and switch any file offers can be chosen.
    set.attributes.resize(size_t(set.count));
    set.formatDescription = std::to_string(set.files.size()) + " files";
    set.visibility.attach(set, set.hiddenAtStart);
    if (lods.empty())
        return true;
    // Framed on the union of the boxes: the streamed files' points are not there to average.
    for (int axis = 0; axis < 3; ++axis) {
        set.nearCorner[axis] = axis == 2 ? high[axis] : low[axis];
        set.farCorner[axis] = axis == 2 ? low[axis] : high[axis];
        set.centroid[axis] = (low[axis] + high[axis]) / 2;
    }
    set.computeViewDistance(kFramingFieldOfViewX);
    const ColourRamps ramps = sceneRamps(set, lods);
    viewer.pointColours.fixRamps(ramps);
    for (const std::unique_ptr<CopcLod>& lod : lods) {
        int64_t classes[256], withheld[256];
        lod->estimateClassCounts(classes, withheld);
        set.visibility.addEstimate(lod->cache().octree().attributes() & kClassification, classes,
                                   withheld);
        lod->useRamps(ramps);
        lod->follow(&viewer.displaySettings.colourMode, &set.visibility);
    }
    viewer.sceneLod.reset(new (std::nothrow) SceneLod(std::move(lods)));
    if (!viewer.sceneLod) {
        std::fprintf(stderr, "pointillist: not enough memory for the streamed files\n");
        return false;
    }
    return true;
}
