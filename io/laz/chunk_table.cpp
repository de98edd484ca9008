// io/laz/chunk_table.cpp - the compressed chunk table at the end of the point area.
#include "io/laz/chunk_table.h"

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/integer_decompressor.h"

#include <cstring>

namespace {

uint64_t u64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t u32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Chunks of the fixed size from the first one on, their lengths found while decoding.
LazChunkList sequentialChunks(uint64_t pointData, uint64_t points, const LazLayout& layout,
                              std::string problem) {
    LazChunkList list;
    list.sequential = true;
    list.problem = std::move(problem);
    // Layered chunks carry their counts and lengths in their heads, so the decoder finds
    // them; pointwise ones of varying size cannot be found.
    if (layout.variableChunks()) {
        if (!layout.layered())
            list.problem += "; its chunks vary in size, so none can be found";
        return list;
    }
    // Compressor 1 has no table offset: its one stream covers every point.
    const uint64_t start = layout.compressor == 1 ? pointData : pointData + 8;
    const uint64_t per = layout.compressor == 1 ? points : layout.chunkSize;
    for (uint64_t first = 0; first < points; first += per) {
        LazChunk chunk;
        chunk.offset = first == 0 ? start : 0;
        chunk.points = points - first < per ? points - first : per;
        chunk.firstPoint = first;
        list.chunks.push_back(chunk);
    }
    return list;
}

} // namespace

LazChunkList readChunkTable(const uint8_t* data, size_t size, uint64_t pointData, uint64_t points,
                            const LazLayout& layout) {
    if (points == 0)
        return LazChunkList();
    if (layout.compressor == 1)
        return sequentialChunks(pointData, points, layout, std::string());
    if (pointData > size || size - pointData < 8)
        return sequentialChunks(pointData, points, layout, "its chunk table offset is missing");

    const uint64_t start = pointData + 8;
    uint64_t table = u64(data + pointData);
    // An encoder that could not seek back left -1 here and the offset at the end of the file.
    if (table == ~uint64_t(0) && size >= 8)
        table = u64(data + size - 8);
    if (table == pointData)
        return sequentialChunks(pointData, points, layout, "it has no chunk table");
    if (table < start || table > size || size - table < 8)
        return sequentialChunks(pointData, points, layout,
                                "its chunk table offset points outside the file");
    const uint32_t version = u32(data + table);
    const uint64_t count = u32(data + table + 4);
    // Every chunk holds at least one point and one byte.
    if (version != 0 || count == 0 || count > points || count > table - start)
        return sequentialChunks(pointData, points, layout, "its chunk table is unreadable");

    ArithmeticDecoder dec(data + table + 8, data + size);
    IntegerDecompressor ic(32, 2);
    LazChunkList list;
    list.chunks.resize(count);
    uint64_t offset = start, first = 0;
    uint32_t lastPoints = 0, lastBytes = 0;
    for (uint64_t i = 0; i < count; ++i) {
        LazChunk& chunk = list.chunks[i];
        if (!layout.variableChunks() && first == points) {
            // More chunks than the points need: the rest hold nothing to read.
            list.chunks.resize(i);
            break;
        }
        if (layout.variableChunks()) {
            lastPoints = uint32_t(ic.decompress(dec, int32_t(lastPoints), 0));
            chunk.points = lastPoints;
        } else {
            chunk.points = points - first < layout.chunkSize ? points - first : layout.chunkSize;
        }
        lastBytes = uint32_t(ic.decompress(dec, int32_t(lastBytes), 1));
        chunk.offset = offset;
        chunk.bytes = lastBytes;
        chunk.firstPoint = first;
        offset += lastBytes;
        first += chunk.points;
        if (dec.missing() != 0 || offset > table || first > points)
            return sequentialChunks(pointData, points, layout, "its chunk table is corrupt");
    }
    // A table that covers fewer points than the header has leaves the rest unread; the caller
    // counts them as lost.
    return list;
}
