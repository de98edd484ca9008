// io/copc/copc_cloud_writer.h - a cloud written as an octree LAZ file: its octree built, then a
// chunk per node compressed on the pool's threads.
#pragma once

#include "io/copc/copc_writer.h"
#include "io/las/laz_cloud_writer.h"
#include "io/point_cloud.h"

#include <cstdint>

struct CopcCloudOptions {
    int threads = 1;
    // The most points a node holds (but at the deepest level) and the sample grid's cells a
    // side, as buildOctree takes them; the root's spacing is its edge over grid.
    uint32_t nodePoints = 50000;
    int grid = 128;
    CopcPaging paging;
};

// Writes the cloud as an octree file of point format 7 (6 without the file's colours), with
// every attribute it carries, through the records of chooseLas14Frame: the octree of buildOctree
// (its root cube the info record's), one chunk per node, depth first. Reorders the cloud's
// records and attributes in place into the nodes' runs, root first, each node's in the order
// that compresses best (by GPS time, else along a Z curve), which is the order the file holds
// them in; records without a finite position go to the end and are left out. No
// points make a valid file whose root holds none. False when the sink fails or memory runs out.
bool writeCopcCloud(PointCloud& cloud, const LazByteSink& sink, const CopcCloudOptions& options,
                    CloudWriteReport* report = nullptr);
