// io/laz/laz_writer.h - chunk tables, and compressed files assembled from given chunks for tests
// and benchmarks.
#pragma once

#include "io/laz/chunk_table.h"

#include <cstdint>
#include <vector>

struct LazChunkBytes {
    std::vector<uint8_t> bytes;
    uint32_t points = 0;
};

enum class LazTableMode {
    Table,      // the table offset at the start of the point area, the table after the chunks
    TableAtEnd, // offset -1 there, the real one in the file's last 8 bytes
    NoTable,    // the offset points at itself, as an interrupted encoder leaves it
};

// The compressed chunk table of these chunks (with their point counts when variable).
std::vector<uint8_t> encodeChunkTable(const std::vector<LazChunkBytes>& chunks, bool variable);
// The same from the chunks' point counts and byte lengths alone, which must fit in 32 bits.
std::vector<uint8_t> encodeChunkTable(const std::vector<LazChunk>& chunks, bool variable);

// A file from `prefix` (the header and VLRs of a compressed file, up to its offset to point
// data), with its point counts set to `points`, followed by the chunks and the table.
std::vector<uint8_t> assembleLazFile(const std::vector<uint8_t>& prefix, uint64_t points,
                                     const std::vector<LazChunkBytes>& chunks, bool variable,
                                     LazTableMode mode);
