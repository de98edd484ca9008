// io/copc/copc_node_cache.h - a streamed octree's nodes (an octree file's or a tiled dataset's)
// decoded on worker threads as a view asks for them, and held within a memory budget.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/copc_hierarchy.h"
#include "io/copc/copc_key.h"
#include "io/copc/streamed_tree.h"
#include "io/point_attributes.h"
#include "io/point_records.h"
#include "threads/worker_pool.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// A node's points as the viewer draws them, and the last frame that drew them.
struct CachedNode {
    std::vector<PointRecord> points;
    PointAttributes attributes; // the octree's columns, when it has any
    int64_t lastDrawn = 0;
    uint64_t id = 0; // this arrival's own number, never given to another
};

// Nodes whose data are being fetched right now, and their bytes (when known beforehand).
struct FetchProgress {
    int nodes = 0;
    int64_t bytes = 0;
};

// The nodes of one open octree. Every call but the workers' own is made from one thread (the
// viewer's); the workers decode the nodes it wants, most wanted first, each with its own
// decoder, and hand them over when collect is called. A remote octree's nodes are fetched by
// workers of their own, more of them than there are decoders, so that several requests are on
// the wire while the decoders work. Points are float(file - shift), as a
// whole read stores them; an intensity becomes grey over the root node's range of intensities,
// and without colour or intensity the height paints a ramp over the declared box, so that
// every node is coloured alike whenever it arrives.
class CopcNodeCache {
public:
    // Opens path, reads the header and the root page and decodes the root node here, then
    // starts `threads` workers. Null with a one-line reason when the file is not an octree file
    // this program reads.
    // The budget counts each point held at its record and attributes (pointBytes for an octree
    // file's format), plus extraBytesPerPoint for what its user keeps beside each point of a
    // held node.
    static std::unique_ptr<CopcNodeCache> open(const std::string& path, uint64_t memoryBytes,
                                               int threads, std::string& error,
                                               uint32_t extraBytesPerPoint = 0);
    // The same through source, a local or remote file. With fetchers above 0, that many
    // workers only fetch chunks and `threads` only decode them; with 0 each decoder reads its
    // own chunks, as suits a local file.
    static std::unique_ptr<CopcNodeCache> open(std::unique_ptr<ByteSource> source,
                                               uint64_t memoryBytes, int threads, int fetchers,
                                               std::string& error, uint32_t extraBytesPerPoint = 0);
    // The same for any octree already open. The points are stored against shift when it is
    // given (a scene's, chosen over every file), else against the one the declared box needs.
    static std::unique_ptr<CopcNodeCache> open(std::unique_ptr<StreamedTree> octree,
                                               uint64_t memoryBytes, int threads, int fetchers,
                                               std::string& error, uint32_t extraBytesPerPoint = 0,
                                               const double* shift = nullptr);
    // What a decoded point of point format 6, 7 or 8 costs: its record and its attributes.
    static uint32_t pointBytes(int pointFormat);
    // Stops the workers, giving up what they have not started.
    ~CopcNodeCache();
    CopcNodeCache(const CopcNodeCache&) = delete;
    CopcNodeCache& operator=(const CopcNodeCache&) = delete;

    StreamedTree& octree() const { return *octree_; }
    // The octree file, for a cache opened on one by its path.
    CopcFile& file() const { return *file_; }
    const double* shift() const { return shift_; }
    bool shifted() const { return shifted_; }
    // The most points the budget holds (at least the root's), their attributes counted.
    int64_t budgetPoints() const { return budgetPoints_; }
    int64_t heldPoints() const { return heldPoints_; }

    // The node's points once decoded and collected; null before, and when it is lost.
    CachedNode* find(const CopcKey& key);
    // Whether the node could not be decoded; it is not asked for again.
    bool lost(const CopcKey& key) const { return lost_.count(key) != 0; }
    // The nodes to decode next, most wanted first, for the frame serial: replaces what was
    // queued and not started. Nodes held, lost, in progress or without points are passed over.
    // A node arrives as drawn at the last serial that wanted it.
    void want(const std::vector<CopcNode>& nodes, int64_t serial);
    // Has the workers read the index pages named (StreamedTree::childrenRead names them) ahead
    // of any node, each once however often it is asked for. A page read counts as an arrival
    // for collect and waitForArrival, and busy holds while one is queued or being read.
    void readPages(const std::vector<CopcKey>& pages);
    // Takes in the nodes decoded and the pages read since the last call, and returns how many;
    // each node lost meanwhile adds one line to damage. Then, while more points are held than the
    // budget allows, lets go of the least recently drawn nodes that were not drawn at keepSerial.
    size_t collect(int64_t keepSerial, std::vector<std::string>& damage);
    // Whether nodes or pages are queued, being fetched or being decoded.
    bool busy() const;
    // The chunks the fetching workers are reading now (none without fetchers).
    FetchProgress fetching() const;
    // Returns once a node has been decoded or lost, or a page read, since the last collect; at
    // once when there is one or nothing is in progress.
    void waitForArrival();

private:
    CopcNodeCache() = default;
    void work();
    void fetch();
    void decode();
    bool startWorkers(int count, void (CopcNodeCache::*loop)());
    // With the lock held, released during the read: reads the first page queued; false when
    // none is.
    bool readQueuedPage(std::unique_lock<std::mutex>& lock);
    // With the lock held: no node nor page queued or in progress.
    bool idle() const;
    // Reads the node's data unless given them.
    bool decodeNode(StreamedNodeDecoder& decoder, const CopcNode& node, CachedNode& decoded,
                    std::string& error, std::vector<uint8_t>* fetched = nullptr) const;
    void colourPoints(std::vector<PointRecord>& points) const;

    std::unique_ptr<StreamedTree> octree_;
    CopcFile* file_ = nullptr;
    double shift_[3] = {};
    bool shifted_ = false;
    ColourKind colour_ = ColourKind::Rgb;
    bool intensity_ = false; // once the root has given the range
    float intensityLow_ = 0.0f, intensityScale_ = 1.0f / 65535.0f;
    float heightLow_ = 0.0f, heightScale_ = 0.0f;
    int64_t budgetPoints_ = 0;
    int64_t heldPoints_ = 0;
    uint64_t lastId_ = 0;
    std::map<CopcKey, CachedNode> held_;
    std::set<CopcKey> lost_;

    // Shared with the workers, under mutex_.
    struct Arrival {
        CopcKey key;
        CachedNode node;
        bool ok = false;
        std::string error;
    };
    mutable std::mutex mutex_;
    std::condition_variable queued_, arrived_;
    std::deque<CopcNode> queue_;
    std::set<CopcKey> inProgress_;
    std::map<CopcKey, int64_t> wantedAt_; // the last serial that wanted each node not held
    std::vector<Arrival> arrivals_;
    std::deque<CopcKey> pages_;    // index pages to read, before any node
    std::set<CopcKey> pagesAsked_; // every page ever asked for
    int pagesReading_ = 0;
    size_t pagesArrived_ = 0; // read since the last collect
    // Chunks fetched and waiting for a decoder (their nodes are in progress).
    struct Fetched {
        CopcNode node;
        std::vector<uint8_t> chunk;
        bool ok = false;
        std::string error;
    };
    std::condition_variable fetchedReady_;
    std::deque<Fetched> fetched_;
    FetchProgress fetching_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<PoolTask>> workers_;
};
