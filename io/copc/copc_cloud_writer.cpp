// io/copc/copc_cloud_writer.cpp - a job per node of the built octree, the info record from its
// root cube.
#include "io/copc/copc_cloud_writer.h"

#include "io/las/las14_records.h"
#include "io/laz/parallel_chunks.h"
#include "io/octree/octree_builder.h"
#include "io/octree/record_columns.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// Bits per axis of the positions' order within a node.
constexpr int kOrderBits = 21;

uint64_t spreadBits(uint64_t v) {
    v &= (uint64_t(1) << kOrderBits) - 1;
    v = (v | v << 32) & 0x1F00000000FFFFull;
    v = (v | v << 16) & 0x1F0000FF0000FFull;
    v = (v | v << 8) & 0x100F00F00F00F00Full;
    v = (v | v << 4) & 0x10C30C30C30C30C3ull;
    return (v | v << 2) & 0x1249249249249249ull;
}

// The order a node's records compress best in: neighbours after one another. The octree's
// sampling and partitioning leave them scattered, which costs about 40 % more bytes. With GPS
// times that is the order they were measured in (along the scan lines), else (and among equal
// times) the order along a Z curve through the node's cube.
class NodeOrder {
public:
    void apply(PointCloud& cloud, const OctreeCube& cube, int64_t first, uint32_t count) {
        keys_.resize(count);
        const double cells = double(uint64_t(1) << kOrderBits) / std::max(cube.edge, 1e-30);
        for (uint32_t i = 0; i < count; ++i) {
            const PointRecord& p = cloud.points[first + i];
            const double xyz[3] = {p.x, p.y, p.z};
            uint64_t key = 0;
            for (int axis = 0; axis < 3; ++axis) {
                const double at = std::floor((xyz[axis] - cube.low[axis]) * cells);
                key |= spreadBits(uint64_t(std::min(std::max(at, 0.0), 2097151.0))) << axis;
            }
            keys_[i] = key;
        }
        order_.resize(count);
        std::iota(order_.begin(), order_.end(), 0u);
        const std::vector<double>& gps = cloud.attributes.gpsTime;
        if (gps.size() == size_t(cloud.count) && !gps.empty()) {
            const double* time = gps.data() + first;
            std::sort(order_.begin(), order_.end(), [this, time](uint32_t a, uint32_t b) {
                return time[a] < time[b] || (time[a] == time[b] && keys_[a] < keys_[b]);
            });
        } else {
            std::sort(order_.begin(), order_.end(),
                      [this](uint32_t a, uint32_t b) { return keys_[a] < keys_[b]; });
        }
        // Position i takes the record first held at order_[i]; where_ and at_ follow the
        // records as the swaps move them.
        where_.resize(count);
        at_.resize(count);
        std::iota(where_.begin(), where_.end(), 0u);
        std::iota(at_.begin(), at_.end(), 0u);
        RecordColumns columns(cloud.points, cloud.count, &cloud.attributes);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t wanted = order_[i], from = where_[wanted];
            if (from == i)
                continue;
            columns.swap(first + i, first + from);
            const uint32_t displaced = at_[i];
            at_[from] = displaced;
            where_[displaced] = from;
            at_[i] = wanted;
            where_[wanted] = i;
        }
    }

private:
    std::vector<uint32_t> order_, where_, at_;
    std::vector<uint64_t> keys_;
};

} // namespace

bool writeCopcCloud(PointCloud& cloud, const LazByteSink& sink, const CopcCloudOptions& options,
                    CloudWriteReport* report) {
    OctreeOptions built;
    built.threads = options.threads;
    built.nodePoints = options.nodePoints;
    built.grid = options.grid;
    Octree octree;
    if (!buildOctree(cloud.points, cloud.count, &cloud.attributes, built, octree))
        return false;
    const Las14Frame frame = chooseLas14Frame(cloud);
    CopcWriter writer(frame.pointFormat, sink, options.paging);

    // The octree's cube in file coordinates.
    CopcInfo info;
    const double edge = octree.root.edge;
    for (int axis = 0; axis < 3; ++axis)
        info.centre[axis] = cloud.shift[axis] + octree.root.low[axis] + edge * 0.5;
    info.halfSize = edge * 0.5;
    info.spacing = edge / built.grid;
    Las14Header header;
    if (!writer.begin(header, info))
        return false;

    // In the order of their records, so that the file holds the points in the cloud's new order
    // (depth first: each subtree's nodes together, the root first).
    std::vector<const OctreeNode*> nodes;
    for (const OctreeNode& node : octree.nodes)
        if (node.count > 0)
            nodes.push_back(&node);
    std::sort(nodes.begin(), nodes.end(),
              [](const OctreeNode* a, const OctreeNode* b) { return a->first < b->first; });
    std::vector<Las14Tally> tallies(kMostParts);
    std::vector<std::vector<uint8_t>> records(kMostParts);
    std::vector<NodeOrder> orders(kMostParts);
    const ChunkJob job = [&](int64_t i, int worker, LazChunkEncoder& encoder,
                             CompressedChunks& out) {
        const OctreeNode& node = *nodes[size_t(i)];
        orders[size_t(worker)].apply(cloud, octree.cube(node.key), node.first, node.count);
        std::vector<uint8_t>& buffer = records[size_t(worker)];
        buffer.resize(size_t(node.count) * frame.recordLength);
        makeLas14Records(cloud, frame, node.first, node.count, buffer.data(),
                         tallies[size_t(worker)]);
        return out.add(encoder, buffer.data(), node.count);
    };
    const ChunkTaker take = [&](int64_t i, const CompressedChunks& made) {
        const CompressedChunks::Chunk& chunk = made[0];
        return writer.writeNode(nodes[size_t(i)]->key, chunk.bytes.data(), chunk.bytes.size(),
                                chunk.points);
    };
    if (!compressChunksInOrder(writer.layout(), int64_t(nodes.size()), options.threads, job, take))
        return false;

    Las14Tally tally;
    for (const Las14Tally& part : tallies)
        tally.join(part);
    describeLas14Records(frame, tally, header);
    if (tally.points > 0) {
        info.gpsTimeMin = tally.gpsLow;
        info.gpsTimeMax = tally.gpsHigh;
    }
    if (!writer.finish(header, info))
        return false;
    if (report) {
        report->points = tally.points;
        report->leftOut = cloud.count - octree.placed;
        report->chunks = nodes.size();
        report->depth = octree.depth();
        report->bytes = writer.bytes();
    }
    return true;
}
