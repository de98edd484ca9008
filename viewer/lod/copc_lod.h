// viewer/lod/copc_lod.h - the level of detail of an octree file streamed from disk: its index
// walked as views need it, its nodes drawn as they arrive.
#pragma once

#include "io/copc/copc_node_cache.h"
#include "viewer/display_settings.h"
#include "viewer/lod/lod_source.h"
#include "viewer/lod/lod_tree.h"
#include "viewer/point_colours.h"
#include "viewer/point_visibility.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// What a point of a held node costs beside the cache's own: its colour in a mode other than
// the file's and its place in the list of the node's points shown.
constexpr uint32_t kCopcLodPointBytes = 3 + sizeof(uint32_t);

// Frames draw the nodes a view wants that are held, in key order, and ask the cache for the
// others, most wanted first. The nodes wanted are at most as many points as the memory budget
// holds, the most wanted first, so that a view never asks for more than can be kept. Each node
// drawn is coloured in the colour mode followed and drawn without the points the visibility
// followed hides; both are made again from the node's attributes when the mode or a switch
// changes, never decoded again. The height and intensity ramps are the root node's, so that
// every node is coloured alike whenever it arrives.
class CopcLod : public LodSource {
public:
    explicit CopcLod(std::unique_ptr<CopcNodeCache> cache);
    // The mode and the switches the frames follow from now on; both must outlive this.
    void follow(const ColourMode* mode, const PointVisibility* visibility);
    // The ramps: the root node's percentiles, or without it the header's z range and the whole
    // range of intensities.
    const ColourRamps& ramps() const { return ramps_; }
    // Other ramps, before the first frame: a scene's, which every file is coloured by.
    void useRamps(const ColourRamps& ramps) { ramps_ = ramps; }
    // The root node's points of each class and those of them withheld, scaled to the points the
    // header declares: what the classes window offers before any other node is decoded.
    void estimateClassCounts(int64_t classes[256], int64_t withheld[256]) const;
    // The points of each class among the shown points the last frame drew.
    void drawnClassCounts(int64_t classes[256]) const;
    // The node held and the index in it of a point the last frame drew at exactly position;
    // false when none is there.
    bool drawnPointAt(const float position[3], const CachedNode*& node, size_t& index) const;

    CopcNodeCache& cache() const { return *cache_; }
    // The points the file's header declares.
    int64_t declaredPoints() const;

    LodFrame frame(const View& view, int64_t budget, const PointSource& cloud) override;
    // Takes in the nodes decoded and index pages read since the last call (how many arrived),
    // and adds a line for each damaged node or index page met since.
    size_t collect(std::vector<std::string>& damage);
    // Returns once every node view wants is held or known damaged, the index pages above them
    // read, each line of damage met meanwhile added to damage.
    void settle(const View& view, std::vector<std::string>& damage);
    // The runs the last frame drew: what a double-click may pick.
    const std::vector<PointSegment>& lastSegments() const { return lastSegments_; }

    double refinePixels = kRefinePixels;

private:
    // What is kept beside a held node for the frames, made for the node's arrival id.
    struct NodeLook {
        uint64_t id = 0;
        ColourMode mode = ColourMode::File;
        std::vector<unsigned char> colours; // three a point, in mode, when not the file's
        uint64_t shownVersion = ~uint64_t(0);
        bool hides = false;
        std::vector<uint32_t> shown; // the points shown, when some are hidden
        std::array<int64_t, 256> shownClasses = {};
    };

    void expand(int32_t node);
    // The node's segment in the mode and switches followed; count 0 when nothing of it shows.
    PointSegment segmentOf(const CachedNode& held, NodeLook& look);

    std::unique_ptr<CopcNodeCache> cache_;
    std::vector<LodNode> nodes_;
    std::vector<CopcNode> entries_; // beside nodes_: where each node's chunk is
    std::vector<WantedNode> wanted_;
    std::vector<PointSegment> lastSegments_;
    std::vector<CopcKey> lastNodes_; // beside lastSegments_
    int64_t serial_ = 1;
    bool awaitingPages_ = false; // the last walk met a node whose children's page is unread
    const ColourMode* mode_ = nullptr;
    const PointVisibility* visibility_ = nullptr;
    ColourRamps ramps_;
    std::map<CopcKey, NodeLook> looks_;
};
