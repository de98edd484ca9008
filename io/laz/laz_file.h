// io/laz/laz_file.h - a compressed LAS file: its header facts, and all its points decoded.
#pragma once

#include "io/laz/chunk_decoder.h"
#include "io/laz/chunk_table.h"
#include "io/laz/laz_layout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What decoding needs from the LAS header and the compression record.
struct LazFileInfo {
    int versionMajor = 0, versionMinor = 0;
    int pointFormat = 0; // with the compression bits cleared
    uint32_t recordLength = 0;
    uint64_t pointCount = 0; // the 64-bit count of LAS 1.4, else the legacy one
    uint64_t pointData = 0;  // offset to point data
    LazLayout layout;
};

// Whether the header's point format byte carries a compression bit.
bool lasHeaderSaysCompressed(const uint8_t* data, size_t size);

// Reads the header fields and the compression record; an empty string on success, else a
// one-line reason (no compression record, unsupported items, ...).
std::string readLazFileInfo(const uint8_t* data, size_t size, LazFileInfo& info);

// Records as they are decoded: `count` records of info.recordLength bytes each, the first being
// point `firstPoint` of the file. Called from the decoding threads, never twice for one point.
using LazRecordSink =
    std::function<void(uint64_t firstPoint, const uint8_t* records, uint64_t count)>;

struct LazDecodeResult {
    uint64_t expected = 0; // the header's count
    uint64_t decoded = 0;  // points kept (see chunkKept)
    LazChunkList chunks;
    std::vector<uint8_t> chunkOk; // per chunk: every point of it was decoded and handed over
    // Per chunk: how many of its points, from its first, were decoded and handed over: all of
    // a whole chunk's, those before the cut of a chunk the file's end cuts short, else none.
    std::vector<uint64_t> chunkKept;
    std::string problem; // the first thing that went wrong, if anything did

    // "expected N points, read M (why)"; empty when every point was read.
    std::string message() const;
};

// Decodes every chunk, on up to `threads` threads. The records of a chunk that turns out
// corrupt or cut short may have been handed over in part: its chunkOk is 0 and its points
// beyond its chunkKept must be dropped by the caller.
LazDecodeResult decodeLazFile(const uint8_t* data, size_t size, const LazFileInfo& info,
                              LazFields fields, unsigned threads, const LazRecordSink& sink);
// The same, but decoding straight into records: info.pointCount records of info.recordLength
// bytes, point i at i * recordLength. Of a chunk that reaches past that count, only the points
// within it are kept.
LazDecodeResult decodeLazFileInto(const uint8_t* data, size_t size, const LazFileInfo& info,
                                  LazFields fields, unsigned threads, uint8_t* records);
