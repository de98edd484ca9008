// io/laz/laz_writer.cpp - chunk tables and file assembly.
#include "io/laz/laz_writer.h"

#include "io/laz/arithmetic_encoder.h"

#include <cstring>

namespace {

template <typename T> void put(std::vector<uint8_t>& out, size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

template <typename T> void append(std::vector<uint8_t>& out, T v) {
    out.resize(out.size() + sizeof v);
    put(out, out.size() - sizeof v, v);
}

} // namespace

std::vector<uint8_t> encodeChunkTable(const std::vector<LazChunkBytes>& chunks, bool variable) {
    std::vector<LazChunk> sizes(chunks.size());
    for (size_t i = 0; i < chunks.size(); ++i) {
        sizes[i].points = chunks[i].points;
        sizes[i].bytes = chunks[i].bytes.size();
    }
    return encodeChunkTable(sizes, variable);
}

std::vector<uint8_t> encodeChunkTable(const std::vector<LazChunk>& chunks, bool variable) {
    std::vector<uint8_t> out;
    append(out, uint32_t(0));
    append(out, uint32_t(chunks.size()));
    ArithmeticEncoder enc;
    IntegerCompressor ic(32, 2);
    uint32_t lastPoints = 0, lastBytes = 0;
    for (const LazChunk& chunk : chunks) {
        if (variable) {
            ic.compress(enc, int32_t(lastPoints), int32_t(uint32_t(chunk.points)), 0);
            lastPoints = uint32_t(chunk.points);
        }
        ic.compress(enc, int32_t(lastBytes), int32_t(uint32_t(chunk.bytes)), 1);
        lastBytes = uint32_t(chunk.bytes);
    }
    enc.done();
    out.insert(out.end(), enc.bytes().begin(), enc.bytes().end());
    return out;
}

std::vector<uint8_t> assembleLazFile(const std::vector<uint8_t>& prefix, uint64_t points,
                                     const std::vector<LazChunkBytes>& chunks, bool variable,
                                     LazTableMode mode) {
    std::vector<uint8_t> out = prefix;
    put(out, 107, uint32_t(points > 0xFFFFFFFFu ? 0 : points));
    if (out.size() >= 255 && out[24] == 1 && out[25] >= 4)
        put(out, 247, points);
    const uint64_t pointData = prefix.size();
    put(out, 96, uint32_t(pointData));
    out.resize(pointData + 8);
    for (const LazChunkBytes& chunk : chunks)
        out.insert(out.end(), chunk.bytes.begin(), chunk.bytes.end());
    const int64_t table = int64_t(out.size());
    switch (mode) {
        case LazTableMode::Table:
            put(out, pointData, table);
            break;
        case LazTableMode::TableAtEnd:
            put(out, pointData, int64_t(-1));
            break;
        case LazTableMode::NoTable:
            put(out, pointData, int64_t(pointData));
            return out;
    }
    const std::vector<uint8_t> encoded = encodeChunkTable(chunks, variable);
    out.insert(out.end(), encoded.begin(), encoded.end());
    if (mode == LazTableMode::TableAtEnd)
        append(out, table);
    return out;
}
