// viewer/lod/copc_lod.h - the level of detail of a streamed octree (an octree file or a tiled
// dataset): its index walked as views need it, its nodes drawn as they arrive.
#pragma once

#include "io/copc/copc_node_cache.h"
#include "viewer/lod/lod_source.h"
#include "viewer/lod/lod_tree.h"
#include "viewer/point_colours.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Frames draw the nodes a view wants that are held, in key order, and ask the cache for the
// others, most wanted first. The nodes wanted are at most as many points as the memory budget
// holds, the most wanted first, so that a view never asks for more than can be kept.
class CopcLod : public LodSource {
public:
    explicit CopcLod(std::unique_ptr<CopcNodeCache> cache);

    CopcNodeCache& cache() const { return *cache_; }
    // The points the file's header (or the dataset's description) declares.
    int64_t declaredPoints() const;

    LodFrame frame(const View& view, int64_t budget, const PointSource& cloud) override;
    // Takes in the nodes decoded since the last call (how many arrived), and adds a line for
    // each damaged node or index page met since.
    size_t collect(std::vector<std::string>& damage);
    // Returns once every node view wants is held or known damaged, each line of damage met
    // meanwhile added to damage.
    void settle(const View& view, std::vector<std::string>& damage);
    // The runs the last frame drew: what a double-click may pick.
    const std::vector<PointSegment>& lastSegments() const { return lastSegments_; }
    // The point of the last frame stored exactly at position (a picked point's own copy), and
    // its attributes as the one entry of their columns; false when no drawn node holds it.
    bool pointAt(const float position[3], PointRecord& point, PointAttributes& attributes);

    double refinePixels = kRefinePixels;
    // The colours frames draw: the file's, or a mode's made from each node's attributes (the
    // intensity and height ramps over the root's), once per node and mode.
    ColourMode colourMode = ColourMode::File;

private:
    void expand(int32_t node);
    // The node's colours in colourMode, and the number its run is drawn under; null when the
    // node lacks the mode's attribute or there is no memory for them.
    const unsigned char* coloursOf(const CopcKey& key, CachedNode& held, uint64_t& id);

    // A node's colours in one mode, made for one arrival of it.
    struct NodeColours {
        uint64_t arrival = 0;
        ColourMode mode = ColourMode::File;
        std::vector<unsigned char> rgb;
        uint64_t id = 0;
    };

    std::unique_ptr<CopcNodeCache> cache_;
    std::vector<LodNode> nodes_;
    std::vector<CopcNode> entries_; // beside nodes_: where each node's chunk is
    std::vector<WantedNode> wanted_;
    std::vector<PointSegment> lastSegments_;
    std::vector<CopcKey> lastNodes_; // beside lastSegments_: the node each run is
    int64_t serial_ = 1;
    std::map<CopcKey, NodeColours> colours_;
    PointColours painter_;
    // A copy of the first node coloured (the root, when held) over which the ramps run.
    std::vector<PointRecord> rampPoints_;
    PointCloud rampCloud_;
    uint64_t lastColoursId_ = 0;
};
