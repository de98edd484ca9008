// viewer/lod/cloud_octree.cpp - the build on a pool thread, and frames of runs of records.
#include "viewer/lod/cloud_octree.h"

#include <algorithm>
#include <new>

namespace {

template <class T>
void gather(std::vector<T>& to, const std::vector<T>& from, const uint32_t* indices,
            int64_t count) {
    // A column shorter than the records is not theirs: its entries stay 0.
    for (int64_t i = 0; i < count; ++i)
        if (indices[i] < from.size())
            to[size_t(i)] = from[indices[i]];
}

// The attributes of the records at indices, in their order.
void gatherAttributes(PointAttributes& to, const PointAttributes& from, const uint32_t* indices,
                      int64_t count) {
    to.present = from.present;
    to.resize(size_t(count));
    forEachColumn(
        [&](auto member, AttributeBit) { gather(to.*member, from.*member, indices, count); });
    if (!from.origin.empty()) {
        to.origin.resize(size_t(count));
        gather(to.origin, from.origin, indices, count);
    }
}

} // namespace

CloudOctree::~CloudOctree() {
    cancel_.store(true);
    if (task_)
        task_->wait();
}

void CloudOctree::start(PointCloud& cloud, const uint32_t* sampleIndices, int64_t sampleSize,
                        const OctreeOptions& options) {
    sampleRecords_.resize(size_t(std::max<int64_t>(sampleSize, 0)));
    for (int64_t i = 0; i < sampleSize; ++i)
        sampleRecords_[size_t(i)] = cloud.points[sampleIndices[i]];
    // Its attributes too, for the colours and the classes hidden while it stands for the cloud.
    gatherAttributes(sample_.attributes, cloud.attributes, sampleIndices,
                     int64_t(sampleRecords_.size()));
    // The sample keeps the cloud's box, so that the height colours and the axes stay put.
    sample_.points = sampleRecords_.data();
    sample_.count = static_cast<int32_t>(sampleRecords_.size());
    std::copy(cloud.nearCorner, cloud.nearCorner + 3, sample_.nearCorner);
    std::copy(cloud.farCorner, cloud.farCorner + 3, sample_.farCorner);
    std::copy(cloud.centroid, cloud.centroid + 3, sample_.centroid);
    sample_.viewDistance = cloud.viewDistance;
    sample_.colour = cloud.colour;
    sample_.files = cloud.files;
    sampleVisibility_.attach(sample_, {});

    task_.reset(new (std::nothrow) PoolTask);
    OctreeOptions mine = options;
    mine.cancel = &cancel_;
    PointCloud* records = &cloud;
    const bool started = task_ && task_->start([this, records, mine] {
        built_ = buildOctree(records->points, records->count, &records->attributes, mine, octree_);
        ended_.store(true, std::memory_order_release);
    });
    state_ = started ? State::Building : State::Failed;
}

bool CloudOctree::poll() {
    if (state_ != State::Building || !ended_.load(std::memory_order_acquire))
        return false;
    task_->wait();
    state_ = built_ ? State::Ready : State::Failed;
    if (built_)
        takeTree();
    sampleRecords_ = std::vector<PointRecord>();
    sample_.points = nullptr;
    sample_.count = 0;
    sample_.attributes = PointAttributes();
    sample_.files.clear();
    sampleVisibility_ = PointVisibility();
    return true;
}

void CloudOctree::takeTree() {
    nodes_.resize(octree_.nodes.size());
    for (size_t i = 0; i < octree_.nodes.size(); ++i) {
        const OctreeNode& from = octree_.nodes[i];
        const OctreeCube cube = octree_.cube(from.key);
        LodNode& node = nodes_[i];
        node.key = from.key;
        std::copy(cube.low, cube.low + 3, node.low);
        node.edge = cube.edge;
        node.spacing = from.spacing;
        node.points = from.count;
        node.firstChild = from.firstChild;
        node.children = from.children();
    }
}

LodFrame CloudOctree::frame(const View& view, int64_t budget, const PointSource& cloud) {
    LodFrame frame;
    if (state_ != State::Ready)
        return frame;
    chooseNodes(nodes_, view, refinePixels, nullptr, wanted_);
    const LodPlan plan = planFrame(nodes_, wanted_, budget, nullptr);
    frame.segments.reserve(plan.nodes.size());
    // The records never move once the tree is built; colours of another mode may be made again
    // in the same place, so only the records' own are kept in buffers.
    const bool ownColours =
        cloud.colourType == PointSource::FloatRgb &&
        cloud.colours == static_cast<const char*>(cloud.positions) + 3 * sizeof(float);
    for (int32_t index : plan.nodes) {
        const OctreeNode& node = octree_.nodes[size_t(index)];
        if (node.count == 0)
            continue;
        PointSegment segment;
        segment.source = cloud;
        segment.first = node.first;
        segment.count = node.count;
        if (ownColours) {
            segment.id = uint64_t(index) + 1;
            segment.nodeFirst = node.first;
            segment.nodeCount = node.count;
        }
        frame.segments.push_back(segment);
    }
    frame.points = plan.points;
    frame.complete = plan.complete;
    return frame;
}
