// io/laz/laz_file.cpp - header facts, then the chunks shared out between threads.
#include "io/laz/laz_file.h"

#include "io/byte_order.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace {

// Records decoded per hand-over: the transient buffer of each thread.
constexpr uint64_t kBatch = 4096;
constexpr uint64_t kPointsPerByte = 4096;

// Where the records go: batches handed to a sink, or, when records is set, straight into it
// for every chunk that lies within its count (the sink gets the others).
struct RecordTarget {
    const LazRecordSink& sink;
    uint8_t* records = nullptr;
    uint64_t count = 0;
};

// One thread's work: its own models and buffer, chunks taken in turn from `next`.
class ChunkWorker {
public:
    ChunkWorker(const uint8_t* data, size_t size, const LazFileInfo& info, LazFields fields,
                const RecordTarget& target)
        : data_(data), size_(size), sink_(target.sink), records_(target.records),
          recordCount_(target.count), recordLength_(info.recordLength),
          decoder_(info.layout, fields),
          buffer_(new (std::nothrow) uint8_t[kBatch * info.recordLength]) {}

    bool ready() const { return buffer_ != nullptr; }

    // Decodes one chunk whose bytes lie in [offset, limit); false if it is corrupt or short.
    bool run(const LazChunk& chunk, uint64_t limit, uint64_t& consumed) {
        consumed = 0;
        if (chunk.offset > limit || limit > size_)
            return false;
        // Even a chunk of identical points costs a few thousandths of a bit per point; a count
        // far beyond that is a corrupt count, and decoding it would only spin on noise.
        if (chunk.points / kPointsPerByte > limit - chunk.offset)
            return false;
        if (!decoder_.start(data_ + chunk.offset, data_ + limit, chunk.points))
            return false;
        if (records_ && chunk.firstPoint <= recordCount_ &&
            chunk.points <= recordCount_ - chunk.firstPoint) {
            if (!decoder_.read(records_ + chunk.firstPoint * recordLength_, chunk.points))
                return false;
            consumed = decoder_.consumed();
            return true;
        }
        for (uint64_t done = 0; done < chunk.points;) {
            const uint64_t n = chunk.points - done < kBatch ? chunk.points - done : kBatch;
            if (!decoder_.read(buffer_.get(), n))
                return false;
            sink_(chunk.firstPoint + done, buffer_.get(), n);
            done += n;
        }
        consumed = decoder_.consumed();
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    const LazRecordSink& sink_;
    uint8_t* records_;
    uint64_t recordCount_;
    uint64_t recordLength_;
    ChunkDecoder decoder_;
    std::unique_ptr<uint8_t[]> buffer_;
};

// Where the point area ends: at the chunk table when there is one, else at the file's end.
uint64_t pointAreaEnd(const LazChunkList& list, size_t size) {
    if (list.sequential || list.chunks.empty())
        return size;
    const LazChunk& last = list.chunks.back();
    return last.offset + last.bytes;
}

} // namespace

bool lasHeaderSaysCompressed(const uint8_t* data, size_t size) {
    return size > 104 && std::memcmp(data, "LASF", 4) == 0 && (data[104] & 0xC0) != 0;
}

std::string readLazFileInfo(const uint8_t* data, size_t size, LazFileInfo& info) {
    info = LazFileInfo();
    if (size < 227 || std::memcmp(data, "LASF", 4) != 0)
        return "its header is incomplete";
    info.versionMajor = data[24];
    info.versionMinor = data[25];
    const uint16_t headerSize = loadLittle<uint16_t>(data + 94);
    info.pointData = loadLittle<uint32_t>(data + 96);
    const uint32_t vlrs = loadLittle<uint32_t>(data + 100);
    info.pointFormat = data[104] & 0x3F;
    info.recordLength = loadLittle<uint16_t>(data + 105);
    info.pointCount = loadLittle<uint32_t>(data + 107);
    if (info.versionMajor == 1 && info.versionMinor >= 4 && headerSize >= 375 && size >= 255)
        info.pointCount = loadLittle<uint64_t>(data + 247);

    // The compression record is one of the VLRs between the header and the points.
    uint64_t at = headerSize;
    for (uint32_t i = 0; i < vlrs && at + 54 <= info.pointData && at + 54 <= size; ++i) {
        const uint16_t id = loadLittle<uint16_t>(data + at + 18);
        const uint16_t length = loadLittle<uint16_t>(data + at + 20);
        const uint64_t payload = at + 54;
        if (payload + length > size)
            break;
        if (id == kLazVlrRecordId &&
            std::strncmp(reinterpret_cast<const char*>(data + at + 2), kLazVlrUserId, 16) == 0)
            return parseLazLayout(data + payload, length, info.pointFormat, info.recordLength,
                                  info.layout);
        at = payload + length;
    }
    return "it has no compression record";
}

std::string LazDecodeResult::message() const {
    // A table that had to be done without is no loss when every point was found.
    if (decoded == expected)
        return std::string();
    std::string text =
        "expected " + std::to_string(expected) + " points, read " + std::to_string(decoded);
    if (!problem.empty())
        text += " (" + problem + ")";
    return text;
}

namespace {

LazDecodeResult decodeChunks(const uint8_t* data, size_t size, const LazFileInfo& info,
                             LazFields fields, unsigned threads, const RecordTarget& target) {
    LazDecodeResult result;
    result.expected = info.pointCount;
    result.chunks = readChunkTable(data, size, info.pointData, info.pointCount, info.layout);
    std::vector<LazChunk>& chunks = result.chunks.chunks;
    result.chunkOk.assign(chunks.size(), 0);
    result.problem = result.chunks.problem;

    // The first bad chunk is named, whichever thread met it first.
    std::mutex problemLock;
    size_t problemChunk = chunks.size();
    auto report = [&](size_t i, const char* what) {
        std::lock_guard<std::mutex> lock(problemLock);
        if (i < problemChunk) {
            problemChunk = i;
            const std::string& table = result.chunks.problem;
            result.problem = (table.empty() ? "" : table + "; ") + "chunk " +
                             std::to_string(i + 1) + " of " + std::to_string(chunks.size()) + " " +
                             what;
        }
    };

    // Without a table, a layered chunk's length is in its head; a pointwise one's is known
    // only once it is decoded, so those chunks go one after another on this thread.
    size_t known = chunks.size();
    if (result.chunks.sequential && !chunks.empty()) {
        if (info.layout.layered()) {
            for (size_t i = 0; i < chunks.size(); ++i) {
                uint64_t bytes = 0, count = 0;
                if (chunks[i].offset > size ||
                    !layeredChunkExtent(info.layout, data + chunks[i].offset, data + size, bytes,
                                        count)) {
                    known = i;
                    report(i, "is cut short");
                    break;
                }
                chunks[i].bytes = bytes;
                if (i + 1 < chunks.size())
                    chunks[i + 1].offset = chunks[i].offset + bytes;
            }
        } else {
            ChunkWorker worker(data, size, info, fields, target);
            for (size_t i = 0; i < chunks.size() && worker.ready(); ++i) {
                uint64_t consumed = 0;
                if (!worker.run(chunks[i], size, consumed)) {
                    report(i, "is corrupt or cut short");
                    break;
                }
                result.chunkOk[i] = 1;
                result.decoded += chunks[i].points;
                if (i + 1 < chunks.size())
                    chunks[i + 1].offset = chunks[i].offset + consumed;
            }
            return result;
        }
    }

    const uint64_t areaEnd = pointAreaEnd(result.chunks, size);
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> decoded{0};
    auto work = [&]() {
        ChunkWorker worker(data, size, info, fields, target);
        if (!worker.ready())
            return;
        for (size_t i = next++; i < known; i = next++) {
            const LazChunk& chunk = chunks[i];
            const uint64_t limit = chunk.offset + chunk.bytes;
            uint64_t consumed = 0;
            if (limit > areaEnd || limit > size || !worker.run(chunk, limit, consumed)) {
                report(i, limit > size ? "is cut short" : "is corrupt");
                continue;
            }
            result.chunkOk[i] = 1;
            decoded += chunk.points;
        }
    };
    // One part for each thread, each taking chunks in turn until none is left.
    const int64_t workers = std::max<int64_t>(1, std::min<int64_t>(threads, known));
    runInParts(workers, static_cast<int>(workers), [&](int64_t, int64_t, int) { work(); });
    result.decoded = decoded;
    if (result.problem.empty() && result.decoded < result.expected) {
        uint64_t covered = 0;
        for (const LazChunk& c : chunks)
            covered += c.points;
        if (covered < result.expected)
            result.problem = "its chunks hold fewer points than its header says";
    }
    return result;
}

} // namespace

LazDecodeResult decodeLazFile(const uint8_t* data, size_t size, const LazFileInfo& info,
                              LazFields fields, unsigned threads, const LazRecordSink& sink) {
    return decodeChunks(data, size, info, fields, threads, RecordTarget{sink});
}

LazDecodeResult decodeLazFileInto(const uint8_t* data, size_t size, const LazFileInfo& info,
                                  LazFields fields, unsigned threads, uint8_t* records) {
    const uint64_t total = info.pointCount, stride = info.recordLength;
    const LazRecordSink within = [&](uint64_t first, const uint8_t* from, uint64_t count) {
        if (first < total)
            std::memcpy(records + first * stride, from, std::min(count, total - first) * stride);
    };
    return decodeChunks(data, size, info, fields, threads, RecordTarget{within, records, total});
}
