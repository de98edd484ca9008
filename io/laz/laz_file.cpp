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
    // A chunk that reaches past the end of the file is decoded up to it: kept is then how many
    // of its records, from its first, came from bytes inside the file and were handed over.
    bool run(const LazChunk& chunk, uint64_t limit, uint64_t& consumed, uint64_t& kept) {
        consumed = 0;
        kept = 0;
        const bool cut = limit >= size_;
        limit = std::min<uint64_t>(limit, size_);
        if (chunk.offset > limit)
            return false;
        // Even a chunk of identical points costs a few thousandths of a bit per point; a count
        // far beyond that is a corrupt count, and decoding it would only spin on noise.
        if (!cut && chunk.points / kPointsPerByte > limit - chunk.offset)
            return false;
        if (!decoder_.start(data_ + chunk.offset, data_ + limit, chunk.points, cut))
            return false;
        if (records_ && chunk.firstPoint <= recordCount_ &&
            chunk.points <= recordCount_ - chunk.firstPoint) {
            const bool whole =
                decoder_.read(records_ + chunk.firstPoint * recordLength_, chunk.points);
            kept = whole ? chunk.points : decoder_.sound();
            consumed = decoder_.consumed();
            return whole;
        }
        for (uint64_t done = 0; done < chunk.points;) {
            const uint64_t n = chunk.points - done < kBatch ? chunk.points - done : kBatch;
            if (!decoder_.read(buffer_.get(), n)) {
                const uint64_t sound = decoder_.sound();
                if (sound > done)
                    sink_(chunk.firstPoint + done, buffer_.get(), sound - done);
                kept = sound;
                return false;
            }
            sink_(chunk.firstPoint + done, buffer_.get(), n);
            done += n;
            kept = done;
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

// Without a table, the chunks of a layered file are found one after the other from their heads:
// fixed-size chunks get their offsets and bytes, variable ones their counts too. The walk ends
// at the first chunk the end of the file cuts short, which is kept (its bytes as its head says),
// or at a head that is missing or corrupt, which is named in problem. known: the chunks found.
void walkLayeredChunks(const uint8_t* data, size_t size, const LazFileInfo& info,
                       std::vector<LazChunk>& chunks, size_t& known, std::string& problem) {
    const bool variable = info.layout.variableChunks();
    if (variable)
        chunks.clear();
    uint64_t offset = info.pointData + 8, first = 0;
    size_t i = 0;
    for (; first < info.pointCount && (variable || i < chunks.size()); ++i) {
        const std::string name = "chunk " + std::to_string(i + 1);
        uint64_t bytes = 0, count = 0;
        const bool whole = offset <= size && layeredChunkExtent(info.layout, data + offset,
                                                                data + size, bytes, count);
        // A head cut short (bytes still 0) gives neither count nor bytes.
        if (!whole && bytes == 0) {
            problem = offset >= size ? "the file ends before " + name : name + " is cut short";
            break;
        }
        if (variable) {
            if (count == 0 || count > info.pointCount - first) {
                problem = name + " has a corrupt head";
                break;
            }
            chunks.push_back(LazChunk{offset, bytes, count, first});
        } else {
            chunks[i].offset = offset;
            chunks[i].bytes = bytes;
        }
        first += chunks[i].points;
        offset += bytes;
        if (!whole) {
            ++i;
            break;
        }
    }
    known = i;
}

LazDecodeResult decodeChunks(const uint8_t* data, size_t size, const LazFileInfo& info,
                             LazFields fields, unsigned threads, const RecordTarget& target) {
    LazDecodeResult result;
    result.expected = info.pointCount;
    result.chunks = readChunkTable(data, size, info.pointData, info.pointCount, info.layout);
    std::vector<LazChunk>& chunks = result.chunks.chunks;
    result.problem = result.chunks.problem;

    // The first bad chunk is named, whichever thread met it first; with variable chunks found
    // without a table, the number of chunks is not known.
    const bool counted = !(result.chunks.sequential && info.layout.variableChunks());
    std::mutex problemLock;
    size_t problemChunk = SIZE_MAX;
    auto report = [&](size_t i, const std::string& what) {
        std::lock_guard<std::mutex> lock(problemLock);
        if (i < problemChunk) {
            problemChunk = i;
            const std::string& table = result.chunks.problem;
            result.problem = (table.empty() ? "" : table + "; ") + "chunk " +
                             std::to_string(i + 1) +
                             (counted ? " of " + std::to_string(chunks.size()) : "") + " " + what;
        }
    };
    // A chunk the file's end cuts short keeps the records decoded from bytes before it.
    auto cutShort = [&](size_t i, uint64_t kept) {
        report(i, kept ? "is cut short after " + std::to_string(kept) + " of its " +
                             std::to_string(chunks[i].points) + " points"
                       : std::string("is cut short"));
    };

    // Without a table, a layered chunk's length is in its head; a pointwise one's is known
    // only once it is decoded, so those chunks go one after another on this thread.
    size_t known = chunks.size();
    if (result.chunks.sequential && info.layout.layered()) {
        std::string walk;
        walkLayeredChunks(data, size, info, chunks, known, walk);
        if (!walk.empty()) {
            const std::string& table = result.chunks.problem;
            result.problem = (table.empty() ? "" : table + "; ") + walk;
            problemChunk = known;
        }
    } else if (result.chunks.sequential && !chunks.empty()) {
        result.chunkOk.assign(chunks.size(), 0);
        result.chunkKept.assign(chunks.size(), 0);
        ChunkWorker worker(data, size, info, fields, target);
        for (size_t i = 0; i < chunks.size() && worker.ready(); ++i) {
            uint64_t consumed = 0, kept = 0;
            const bool whole = worker.run(chunks[i], size, consumed, kept);
            result.chunkKept[i] = kept;
            result.decoded += kept;
            if (!whole) {
                if (kept)
                    cutShort(i, kept);
                else
                    report(i, "is corrupt or cut short");
                break;
            }
            result.chunkOk[i] = 1;
            if (i + 1 < chunks.size())
                chunks[i + 1].offset = chunks[i].offset + consumed;
        }
        return result;
    }
    result.chunkOk.assign(chunks.size(), 0);
    result.chunkKept.assign(chunks.size(), 0);

    const uint64_t areaEnd = result.chunks.sequential ? size : pointAreaEnd(result.chunks, size);
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> decoded{0};
    auto work = [&]() {
        ChunkWorker worker(data, size, info, fields, target);
        if (!worker.ready())
            return;
        for (size_t i = next++; i < known; i = next++) {
            const LazChunk& chunk = chunks[i];
            const uint64_t limit = chunk.offset + chunk.bytes;
            uint64_t consumed = 0, kept = 0;
            // A chunk past the table's start is corrupt; one past the file's end is cut short.
            const bool whole =
                (limit <= areaEnd || limit > size) && worker.run(chunk, limit, consumed, kept);
            result.chunkKept[i] = kept;
            decoded += kept;
            if (!whole) {
                if (limit > size)
                    cutShort(i, kept);
                else
                    report(i, "is corrupt");
                continue;
            }
            result.chunkOk[i] = 1;
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
