// io/laz/chunk_table.h - where each chunk of a file starts and how many points it holds.
#pragma once

#include "io/laz/laz_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LazChunk {
    uint64_t offset = 0; // in the file
    uint64_t bytes = 0;  // 0 when unknown (no table: found by decoding the one before)
    uint64_t points = 0;
    uint64_t firstPoint = 0; // index of its first point in the file
};

// The chunks of a file, from its table, or laid out from the fixed chunk size when the table
// is missing or unreadable (then `sequential` is true: each chunk starts where the one before
// ends). `problem` says in one line why the table could not be used, if it couldn't.
struct LazChunkList {
    std::vector<LazChunk> chunks;
    bool sequential = false;
    std::string problem;
};

// data/size: the whole file; pointData: the header's offset to point data; points: the header's
// point count. A variable-chunk file without a readable table gives no chunks: a layered one's
// are found from their heads as they are decoded, a pointwise one's not at all (a problem).
LazChunkList readChunkTable(const uint8_t* data, size_t size, uint64_t pointData, uint64_t points,
                            const LazLayout& layout);
