// io/las/laz_cloud_writer.h - a cloud written as compressed LAS 1.4 (point format 6 or 7) in
// chunks of a fixed size, compressed on the pool's threads.
#pragma once

#include "io/laz/laz_file_writer.h"
#include "io/point_cloud.h"

#include <cstdint>

// What a write of a cloud came to.
struct CloudWriteReport {
    uint64_t points = 0; // records written
    int64_t leftOut = 0; // records without a finite position, which a LAS file cannot hold
    uint64_t chunks = 0; // chunks (for an octree file, nodes with points)
    int depth = -1;      // for an octree file, the deepest level with points
    uint64_t bytes = 0;  // the file's length
};

// Writes the cloud in chunks of kLazDefaultChunkSize points, in its order, with every attribute
// it carries, through the records of chooseLas14Frame; `threads` compress at once. Records
// without a finite position are moved to the end of the cloud first and left out. No points
// make a valid file of none. False when the sink fails or memory runs out.
bool writeLazCloud(PointCloud& cloud, const LazByteSink& sink, int threads,
                   CloudWriteReport* report = nullptr);
