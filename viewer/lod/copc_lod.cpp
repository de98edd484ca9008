// viewer/lod/copc_lod.cpp - the index's nodes as level-of-detail nodes, the wanted ones asked
// for and the held ones drawn.
#include "viewer/lod/copc_lod.h"

#include "viewer/point_renderer.h"

#include <algorithm>
#include <cmath>

namespace {

// A root of fewer points than this says too little of the cloud for its ramps.
constexpr size_t kRampSample = 64;
// Segment ids: a node's arrival id times this, plus its colour mode.
constexpr uint64_t kModeIds = 8;

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

    const CachedNode* held = cache_->find(root.key);
    if (held && held->points.size() >= kRampSample) {
        const std::vector<PointRecord>& points = held->points;
        ramps_.height = rampSpan(int64_t(points.size()), [&](int64_t i) { return points[i].z; });
        ramps_.intensity = intensityRange(held->attributes);
    } else {
        double low[3], high[3];
        cache_->octree().declaredBox(low, high);
        ramps_.height.low = float(low[2] - cache_->shift()[2]);
        ramps_.height.high = float(high[2] - cache_->shift()[2]);
        ramps_.intensity.high = UINT16_MAX;
    }
}

void CopcLod::follow(const ColourMode* mode, const PointVisibility* visibility) {
    mode_ = mode;
    visibility_ = visibility;
}

void CopcLod::estimateClassCounts(int64_t classes[256], int64_t withheld[256]) const {
    std::fill(classes, classes + 256, 0);
    std::fill(withheld, withheld + 256, 0);
    const CachedNode* root = cache_->find(CopcKey{});
    if (!root || root->points.empty())
        return;
    const PointAttributes& a = root->attributes;
    for (size_t i = 0; i < a.classification.size(); ++i) {
        ++classes[a.classification[i]];
        withheld[a.classification[i]] += i < a.flags.size() && (a.flags[i] & kFlagWithheld);
    }
    // A class the root holds is present: it counts at least one point.
    const double scale = double(declaredPoints()) / double(root->points.size());
    for (int code = 0; code < 256; ++code) {
        if (classes[code] > 0)
            classes[code] = std::max<int64_t>(1, std::llround(double(classes[code]) * scale));
        if (withheld[code] > 0)
            withheld[code] = std::max<int64_t>(1, std::llround(double(withheld[code]) * scale));
    }
}

int64_t CopcLod::declaredPoints() const {
    return static_cast<int64_t>(std::min<uint64_t>(cache_->octree().declaredPoints(), INT64_MAX));
}

void CopcLod::expand(int32_t index) {
    const CopcKey key = nodes_[size_t(index)].key;
    std::vector<CopcNode> children;
    std::vector<CopcKey> pages;
    if (!cache_->octree().childrenRead(key, children, pages)) {
        // Until the pages are read on a worker the node stands for its subtree; their arrival
        // brings a frame whose walk asks again.
        cache_->readPages(pages);
        awaitingPages_ = true;
        return;
    }
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
    awaitingPages_ = false;
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
    // What was kept for nodes let go or arrived anew goes, and colours of another mode.
    const ColourMode mode = mode_ ? *mode_ : ColourMode::File;
    for (auto look = looks_.begin(); look != looks_.end();) {
        const CachedNode* held = cache_->find(look->first);
        if (!held || held->id != look->second.id) {
            look = looks_.erase(look);
            continue;
        }
        if (look->second.mode != mode)
            std::vector<unsigned char>().swap(look->second.colours);
        ++look;
    }
    lastNodes_.clear();
    for (int32_t index : plan.nodes) {
        const CopcKey& key = nodes_[size_t(index)].key;
        const CachedNode* held = cache_->find(key);
        if (!held || held->points.empty())
            continue;
        NodeLook& look = looks_[key];
        if (look.id != held->id) {
            look = NodeLook();
            look.id = held->id;
        }
        const PointSegment segment = segmentOf(*held, look);
        if (segment.count == 0)
            continue;
        frame.segments.push_back(segment);
        lastNodes_.push_back(key);
        frame.points += segment.count;
    }
    frame.complete = plan.complete && !awaitingPages_;
    lastSegments_ = frame.segments;
    return frame;
}

PointSegment CopcLod::segmentOf(const CachedNode& held, NodeLook& look) {
    const int64_t count = static_cast<int64_t>(held.points.size());
    PointSegment segment;
    segment.source = recordSource(held.points.data(), count);
    segment.count = count;
    const ColourMode mode = mode_ ? *mode_ : ColourMode::File;
    segment.id = held.id * kModeIds + uint64_t(mode);
    segment.nodeCount = count;
    // In a scene, a file without the mode's attribute keeps its own colours, as it would
    // read whole.
    if (mode != ColourMode::File && colourModeAvailable(mode, held.attributes)) {
        if (look.mode != mode || look.colours.size() != size_t(count) * 3) {
            look.colours.resize(size_t(count) * 3);
            colourByMode(held.points.data(), held.attributes, count, mode, ramps_,
                         look.colours.data());
            look.mode = mode;
        }
        segment.source.colours = look.colours.data();
        segment.source.colourType = PointSource::ByteRgb;
        segment.source.colourStride = 3;
    }
    if (!visibility_)
        return segment;
    if (look.shownVersion != visibility_->version()) {
        // A first pass counts; the list is made only when something is hidden.
        look.shownVersion = visibility_->version();
        look.shownClasses.fill(0);
        std::vector<uint32_t>().swap(look.shown);
        const std::vector<uint8_t>& classes = held.attributes.classification;
        const std::vector<uint8_t>& flags = held.attributes.flags;
        auto shows = [&](size_t i) {
            return visibility_->showsPoint(i < classes.size() ? classes[i] : 0,
                                           i < flags.size() ? flags[i] : 0);
        };
        int64_t shown = 0;
        for (size_t i = 0; i < size_t(count); ++i)
            if (shows(i)) {
                ++look.shownClasses[i < classes.size() ? classes[i] : 0];
                ++shown;
            }
        look.hides = shown < count;
        if (look.hides) {
            look.shown.reserve(size_t(shown));
            for (size_t i = 0; i < size_t(count); ++i)
                if (shows(i))
                    look.shown.push_back(uint32_t(i));
        }
    }
    if (look.hides) {
        segment.indices = look.shown.data();
        segment.count = static_cast<int64_t>(look.shown.size());
    }
    return segment;
}

void CopcLod::drawnClassCounts(int64_t classes[256]) const {
    std::fill(classes, classes + 256, 0);
    for (const CopcKey& key : lastNodes_) {
        const auto look = looks_.find(key);
        if (look != looks_.end())
            for (int code = 0; code < 256; ++code)
                classes[code] += look->second.shownClasses[size_t(code)];
    }
}

bool CopcLod::drawnPointAt(const float position[3], const CachedNode*& node, size_t& index) const {
    for (size_t k = 0; k < lastSegments_.size(); ++k) {
        const PointSegment& segment = lastSegments_[k];
        const CachedNode* held = cache_->find(lastNodes_[k]);
        if (!held)
            continue;
        for (int64_t at = segment.first; at < segment.first + segment.count; ++at) {
            const size_t i = segment.indices ? segment.indices[at] : size_t(at);
            const PointRecord& p = held->points[i];
            if (p.x == position[0] && p.y == position[1] && p.z == position[2]) {
                node = held;
                index = i;
                return true;
            }
        }
    }
    return false;
}

size_t CopcLod::collect(std::vector<std::string>& damage) {
    const size_t arrived = cache_->collect(serial_, damage);
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
