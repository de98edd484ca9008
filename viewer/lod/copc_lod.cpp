// viewer/lod/copc_lod.cpp - the index's nodes as level-of-detail nodes, the wanted ones asked
// for and the held ones drawn.
#include "viewer/lod/copc_lod.h"

#include "viewer/point_renderer.h"

#include <algorithm>

namespace {

// Entry i of from's columns as the one entry of to's.
void copyAttributeEntry(const PointAttributes& from, size_t i, PointAttributes& to) {
    to.present = from.present;
    to.resize(1);
    if (from.has(kIntensity))
        to.intensity[0] = from.intensity[i];
    if (from.has(kClassification))
        to.classification[0] = from.classification[i];
    if (from.has(kReturns))
        to.returns[0] = from.returns[i];
    if (from.has(kFlags))
        to.flags[0] = from.flags[i];
    if (from.has(kScanAngle))
        to.scanAngle[0] = from.scanAngle[i];
    if (from.has(kUserData))
        to.userData[0] = from.userData[i];
    if (from.has(kPointSource))
        to.pointSource[0] = from.pointSource[i];
    if (from.has(kGpsTime))
        to.gpsTime[0] = from.gpsTime[i];
}

LodNode lodNode(const StreamedTree& file, const CopcNode& entry, const double shift[3]) {
    LodNode node;
    node.key = entry.key;
    const CopcCube cube = file.cube(entry.key);
    for (int axis = 0; axis < 3; ++axis)
        node.low[axis] = cube.low[axis] - shift[axis];
    node.edge = cube.high[0] - cube.low[0];
    node.spacing = file.spacing(entry.key.level);
    node.points = entry.points;
    node.childrenKnown = false;
    return node;
}

} // namespace

CopcLod::CopcLod(std::unique_ptr<CopcNodeCache> cache) : cache_(std::move(cache)) {
    CopcNode root;
    if (!cache_->octree().find(CopcKey{}, root))
        return;
    if (cache_->lost(root.key))
        root.points = 0;
    nodes_.push_back(lodNode(cache_->octree(), root, cache_->shift()));
    entries_.push_back(root);
}

int64_t CopcLod::declaredPoints() const {
    return static_cast<int64_t>(std::min<uint64_t>(cache_->octree().declaredPoints(), INT64_MAX));
}

void CopcLod::expand(int32_t index) {
    const CopcKey key = nodes_[size_t(index)].key;
    const std::vector<CopcNode> children = cache_->octree().children(key);
    LodNode& node = nodes_[size_t(index)];
    node.childrenKnown = true;
    node.firstChild = static_cast<int32_t>(nodes_.size());
    node.children = static_cast<int32_t>(children.size());
    for (const CopcNode& child : children) {
        nodes_.push_back(lodNode(cache_->octree(), child, cache_->shift()));
        entries_.push_back(child);
    }
}

LodFrame CopcLod::frame(const View& view, int64_t budget, const PointSource&) {
    LodFrame frame;
    ++serial_;
    lastNodes_.clear();
    chooseNodes(
        nodes_, view, refinePixels, [this](int32_t node) { expand(node); }, wanted_);

    // No more than the memory holds, the most wanted first; they stay held while wanted.
    int64_t points = 0;
    size_t kept = 0;
    std::vector<CopcNode> missing;
    for (; kept < wanted_.size(); ++kept) {
        const int32_t index = wanted_[kept].node;
        const int64_t count = nodes_[size_t(index)].points;
        if (kept > 0 && points + count > cache_->budgetPoints())
            break;
        points += count;
        if (CachedNode* held = cache_->find(nodes_[size_t(index)].key))
            held->lastDrawn = serial_;
        else if (count > 0)
            missing.push_back(entries_[size_t(index)]);
    }
    wanted_.resize(kept);
    cache_->want(missing, serial_);

    const LodPlan plan = planFrame(nodes_, wanted_, budget, [this](int32_t index) {
        const LodNode& node = nodes_[size_t(index)];
        return node.points == 0 || cache_->find(node.key) != nullptr;
    });
    for (int32_t index : plan.nodes) {
        CachedNode* held = cache_->find(nodes_[size_t(index)].key);
        if (!held || held->points.empty())
            continue;
        PointSegment segment;
        segment.source =
            recordSource(held->points.data(), static_cast<int64_t>(held->points.size()));
        segment.count = segment.source.count;
        segment.id = held->id;
        uint64_t id = 0;
        if (colourMode != ColourMode::File)
            if (const unsigned char* rgb = coloursOf(nodes_[size_t(index)].key, *held, id)) {
                segment.source.colours = rgb;
                segment.source.colourType = PointSource::ByteRgb;
                segment.source.colourStride = 3;
                segment.id = id;
            }
        frame.segments.push_back(segment);
        lastNodes_.push_back(nodes_[size_t(index)].key);
        frame.points += segment.count;
    }
    frame.complete = plan.complete;
    lastSegments_ = frame.segments;
    return frame;
}

const unsigned char* CopcLod::coloursOf(const CopcKey& key, CachedNode& held, uint64_t& id) {
    NodeColours& entry = colours_[key];
    if (entry.arrival == held.id && entry.mode == colourMode && !entry.rgb.empty()) {
        id = entry.id;
        return entry.rgb.data();
    }
    if (!rampCloud_.points) {
        const CachedNode* root = cache_->find(CopcKey{});
        const CachedNode& from = root && !root->points.empty() ? *root : held;
        rampPoints_ = from.points;
        rampCloud_.points = rampPoints_.data();
        rampCloud_.count = static_cast<int32_t>(rampPoints_.size());
        rampCloud_.attributes = from.attributes;
    }
    // The node's columns lent to a cloud of its records for the painter, and taken back.
    PointCloud cloud;
    cloud.points = held.points.data();
    cloud.count = static_cast<int32_t>(held.points.size());
    std::swap(cloud.attributes, held.attributes);
    const unsigned char* rgb = painter_.colours(cloud, colourMode, &rampCloud_);
    std::swap(cloud.attributes, held.attributes);
    if (!rgb) {
        colours_.erase(key);
        return nullptr;
    }
    entry.rgb.assign(rgb, rgb + held.points.size() * 3);
    painter_.release();
    entry.arrival = held.id;
    entry.mode = colourMode;
    // Above every arrival's number: a run's colours never change under its number.
    entry.id = (uint64_t(1) << 63) | ++lastColoursId_;
    id = entry.id;
    return entry.rgb.data();
}

size_t CopcLod::collect(std::vector<std::string>& damage) {
    const size_t arrived = cache_->collect(serial_, damage);
    // Colours of nodes let go go with them.
    for (auto entry = colours_.begin(); entry != colours_.end();) {
        const CachedNode* held = cache_->find(entry->first);
        if (!held || held->id != entry->second.arrival)
            entry = colours_.erase(entry);
        else
            ++entry;
    }
    // A damaged node draws nothing and is wanted no more.
    for (LodNode& node : nodes_)
        if (node.points > 0 && cache_->lost(node.key))
            node.points = 0;
    for (std::string& line : cache_->octree().takeDamage())
        damage.push_back(std::move(line));
    return arrived;
}

void CopcLod::settle(const View& view, std::vector<std::string>& damage) {
    const PointSource none;
    for (;;) {
        collect(damage);
        if (frame(view, -1, none).complete)
            return;
        cache_->waitForArrival();
    }
}

bool CopcLod::pointAt(const float position[3], PointRecord& point, PointAttributes& attributes) {
    for (const CopcKey& key : lastNodes_) {
        const CachedNode* held = cache_->find(key);
        if (!held)
            continue;
        for (size_t i = 0; i < held->points.size(); ++i) {
            const PointRecord& p = held->points[i];
            if (p.x != position[0] || p.y != position[1] || p.z != position[2])
                continue;
            point = p;
            copyAttributeEntry(held->attributes, i, attributes);
            return true;
        }
    }
    return false;
}
