// io/laz/laz_file_writer.cpp - the file around the chunks, and its header and VLRs rewritten
// once the counts are known.
#include "io/laz/laz_file_writer.h"

#include "io/laz/chunk_decoder.h"
#include "io/laz/compression_record.h"
#include "io/laz/laz_writer.h"

#include "io/byte_order.h"

#include <sys/types.h>

#include <cstring>

LazByteSink lazFileSink(FILE* file) {
    // Seeking flushes the stream's buffer: only the rewrites at the end seek.
    uint64_t at = ~uint64_t(0);
    return [file, at](uint64_t offset, const uint8_t* bytes, size_t size) mutable {
        if (offset != at && fseeko(file, off_t(offset), SEEK_SET) != 0)
            return false;
        at = offset + size;
        return std::fwrite(bytes, 1, size, file) == size;
    };
}

LazByteSink lazMemorySink(std::vector<uint8_t>& out) {
    return [&out](uint64_t offset, const uint8_t* bytes, size_t size) {
        if (offset + size > out.size())
            out.resize(offset + size);
        std::memcpy(out.data() + offset, bytes, size);
        return true;
    };
}

LazFileWriter::LazFileWriter(const LazLayout& layout, LazByteSink sink)
    : layout_(layout), sink_(std::move(sink)), encoder_(layout) {}

bool LazFileWriter::fail() {
    stage_ = Stage::Failed;
    return false;
}

bool LazFileWriter::put(uint64_t offset, const uint8_t* bytes, size_t size) {
    if (size != 0 && !sink_(offset, bytes, size))
        return fail();
    return true;
}

std::vector<uint8_t> LazFileWriter::prefix(const Las14Header& given,
                                           const std::vector<LasVlr>& vlrs) const {
    std::vector<uint8_t> records;
    uint32_t count = 0;
    bool compressionRecord = false;
    const auto add = [&](const LasVlr& vlr) {
        const std::vector<uint8_t> bytes = encodeVlr(vlr);
        records.insert(records.end(), bytes.begin(), bytes.end());
        ++count;
        return !bytes.empty();
    };
    for (const LasVlr& vlr : vlrs) {
        const bool ours = vlr.userId == kLazVlrUserId && vlr.recordId == kLazVlrRecordId;
        if (ours && compressionRecord)
            continue; // a second one would contradict the first
        if (!add(ours ? lazVlr(layout_) : vlr))
            return std::vector<uint8_t>();
        compressionRecord = compressionRecord || ours;
    }
    if (!compressionRecord)
        add(lazVlr(layout_));
    if (kLas14HeaderSize + records.size() > 0xFFFFFFFFu)
        return std::vector<uint8_t>();

    Las14Header h = given;
    h.pointData = uint32_t(kLas14HeaderSize + records.size());
    h.vlrCount = count;
    h.pointFormat = uint8_t(layeredPointFormat(layout_) | 0x80);
    h.recordLength = uint16_t(layout_.recordLength);
    h.pointCount = points_;
    h.evlrStart = evlrCount_ != 0 ? evlrStart_ : 0;
    h.evlrCount = evlrCount_;
    std::vector<uint8_t> out = encodeLas14Header(h);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

bool LazFileWriter::begin(const Las14Header& header, const std::vector<LasVlr>& vlrs) {
    if (stage_ != Stage::Fresh || !encoder_.valid())
        return fail();
    const std::vector<uint8_t> head = prefix(header, vlrs);
    if (head.empty())
        return fail();
    pointData_ = head.size();
    // Until the table is written its offset points at itself, which readers take for a file
    // without a table: a file cut short still reads in part.
    uint8_t tableOffset[8];
    storeLittle(tableOffset, int64_t(pointData_));
    if (!put(0, head.data(), head.size()) || !put(pointData_, tableOffset, 8))
        return false;
    end_ = pointData_ + 8;
    stage_ = Stage::Chunks;
    return true;
}

bool LazFileWriter::writeChunk(const uint8_t* records, uint32_t count, LazChunk* place) {
    if (stage_ != Stage::Chunks || !encoder_.encode(records, count, chunk_))
        return fail();
    return writeEncodedChunk(chunk_.data(), chunk_.size(), count, place);
}

bool LazFileWriter::writeEncodedChunk(const uint8_t* bytes, size_t size, uint32_t count,
                                      LazChunk* place) {
    if (stage_ != Stage::Chunks || count == 0 || size > 0xFFFFFFFFu)
        return fail();
    if (!layout_.variableChunks() &&
        (count > layout_.chunkSize ||
         (!chunks_.empty() && chunks_.back().points != layout_.chunkSize)))
        return fail();
    // The chunk must say what the table will: its own count, and layers that end at its end.
    uint64_t length = 0, stored = 0;
    if (!layeredChunkExtent(layout_, bytes, bytes + size, length, stored) || length != size ||
        stored != count)
        return fail();
    LazChunk chunk;
    chunk.offset = end_;
    chunk.bytes = size;
    chunk.points = count;
    chunk.firstPoint = points_;
    if (!put(end_, bytes, size))
        return false;
    end_ += size;
    points_ += count;
    chunks_.push_back(chunk);
    if (place)
        *place = chunk;
    return true;
}

bool LazFileWriter::endChunks() {
    if (stage_ != Stage::Chunks)
        return fail();
    const std::vector<uint8_t> table = encodeChunkTable(chunks_, layout_.variableChunks());
    uint8_t tableOffset[8];
    storeLittle(tableOffset, int64_t(end_));
    if (!put(end_, table.data(), table.size()) || !put(pointData_, tableOffset, 8))
        return false;
    end_ += table.size();
    evlrStart_ = end_;
    stage_ = Stage::Evlrs;
    return true;
}

bool LazFileWriter::writeEvlr(const LasVlr& evlr) {
    if (stage_ != Stage::Evlrs)
        return fail();
    const std::vector<uint8_t> bytes = encodeEvlr(evlr);
    if (!put(end_, bytes.data(), bytes.size()))
        return false;
    end_ += bytes.size();
    ++evlrCount_;
    return true;
}

bool LazFileWriter::finish(const Las14Header& header, const std::vector<LasVlr>& vlrs) {
    if (stage_ == Stage::Chunks && !endChunks())
        return false;
    if (stage_ != Stage::Evlrs)
        return fail();
    const std::vector<uint8_t> head = prefix(header, vlrs);
    if (head.size() != pointData_)
        return fail();
    if (!put(0, head.data(), head.size()))
        return false;
    stage_ = Stage::Done;
    return true;
}

bool writeLazFile(const LazLayout& layout, const Las14Header& header,
                  const std::vector<LasVlr>& vlrs, const uint8_t* records, uint64_t count,
                  const LazByteSink& sink) {
    LazFileWriter writer(layout, sink);
    if (!writer.begin(header, vlrs))
        return false;
    const uint64_t per = layout.variableChunks() ? kLazDefaultChunkSize : layout.chunkSize;
    for (uint64_t first = 0; first < count; first += per) {
        const uint32_t n = uint32_t(count - first < per ? count - first : per);
        if (!writer.writeChunk(records + first * layout.recordLength, n))
            return false;
    }
    return writer.finish(header, vlrs);
}
