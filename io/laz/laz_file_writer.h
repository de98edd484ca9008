// io/laz/laz_file_writer.h - a compressed LAS 1.4 file written chunk by chunk: header, VLRs,
// the chunks, the chunk table, EVLRs.
#pragma once

#include "io/laz/chunk_encoder.h"
#include "io/laz/chunk_table.h"
#include "io/laz/las14_header.h"
#include "io/laz/laz_layout.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// Where the writer's bytes go: `size` bytes at `offset` in the file. Writes come in file order,
// except that the header, the VLRs and the chunk table offset are written over again at the
// end. False on an error, which fails the writer.
using LazByteSink = std::function<bool(uint64_t offset, const uint8_t* bytes, size_t size)>;

// A sink into a seekable file open for writing, and one into memory (the vector grows to hold
// every write).
LazByteSink lazFileSink(FILE* file);
LazByteSink lazMemorySink(std::vector<uint8_t>& bytes);

// Writes one file of the layout (see layeredLazLayout), in this order:
//
//   begin(header, vlrs)        the header and VLRs as they stand, and room for the table offset
//   writeChunk(...) ...        each chunk, holding one chunk's records at a time
//   endChunks()                the chunk table, and its offset written into the room left
//   writeEvlr(...) ...         any EVLRs, each at end() (its payload kEvlrHeadSize later)
//   finish(header, vlrs)       the header and VLRs again, with their final contents
//
// The writer owns the header's structural fields and sets them itself: header size, offset to
// point data, VLR and EVLR counts, the EVLR start, point format (with the compressed mark) and
// record length, and the point count (the chunks' sum). Everything else (scale, offset, box,
// counts by return, ids, dates) is the caller's, who usually knows it only by the end.
//
// The compression record is the writer's too: if `vlrs` holds one (user id "laszip encoded",
// record 22204) it is written in that place with the layout's payload; if not, it goes after
// the others. finish's VLRs must take the same bytes as begin's, so that nothing moves: a VLR
// whose contents are known only at the end (an octree's root page) is given at begin with a
// payload of the right size.
//
// With fixed chunks (layout.chunkSize != 0) every chunk but the last must hold chunkSize
// points; with variable chunks, any count from 1 up. A chunk of no points is refused: every
// chunk holds one at least.
//
// A call out of that order, with a chunk it refuses, or whose write the sink fails, returns
// false and leaves the writer failed: every later call returns false and writes nothing.
class LazFileWriter {
public:
    LazFileWriter(const LazLayout& layout, LazByteSink sink);

    bool begin(const Las14Header& header, const std::vector<LasVlr>& vlrs);
    // Compresses count records (layout.recordLength bytes each) as the next chunk; place, if
    // given, is where it went (its offset and length are what an octree file's hierarchy
    // records for the chunk's node).
    bool writeChunk(const uint8_t* records, uint32_t count, LazChunk* place = nullptr);
    // Appends a chunk already compressed (by a LazChunkEncoder of the same layout, perhaps on
    // another thread) of count points.
    bool writeEncodedChunk(const uint8_t* bytes, size_t size, uint32_t count,
                           LazChunk* place = nullptr);
    bool endChunks();
    bool writeEvlr(const LasVlr& evlr);
    bool finish(const Las14Header& header, const std::vector<LasVlr>& vlrs);

    // Where the next write goes: after endChunks, the offset of the next EVLR.
    uint64_t end() const { return end_; }
    uint64_t points() const { return points_; }
    const std::vector<LazChunk>& chunks() const { return chunks_; }
    bool failed() const { return stage_ == Stage::Failed; }

private:
    enum class Stage { Fresh, Chunks, Evlrs, Done, Failed };

    bool put(uint64_t offset, const uint8_t* bytes, size_t size);
    // The header and VLRs as bytes, with the writer's fields filled in.
    std::vector<uint8_t> prefix(const Las14Header& header, const std::vector<LasVlr>& vlrs) const;
    bool fail();

    LazLayout layout_;
    LazByteSink sink_;
    LazChunkEncoder encoder_;
    std::vector<uint8_t> chunk_;
    Stage stage_ = Stage::Fresh;
    uint64_t pointData_ = 0;
    uint64_t end_ = 0;
    uint64_t points_ = 0;
    uint64_t evlrStart_ = 0;
    uint32_t evlrCount_ = 0;
    std::vector<LazChunk> chunks_;
};

// A whole file of `count` records at once, in chunks of layout.chunkSize points (of
// kLazDefaultChunkSize when the layout's chunks vary); false when the layout can't be encoded
// or the sink fails.
bool writeLazFile(const LazLayout& layout, const Las14Header& header,
                  const std::vector<LasVlr>& vlrs, const uint8_t* records, uint64_t count,
                  const LazByteSink& sink);
