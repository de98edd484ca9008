// io/copc/copc_cloud_writer.cpp - a job per node of the built octree, the info record from its
// root cube.
#include "io/copc/copc_cloud_writer.h"

#include "io/las/las14_records.h"
#include "io/laz/parallel_chunks.h"
#include "io/octree/octree_builder.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <vector>

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
    const ChunkJob job = [&](int64_t i, int worker, LazChunkEncoder& encoder,
                             CompressedChunks& out) {
        const OctreeNode& node = *nodes[size_t(i)];
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
