// io/native/fast_reader.h - a point file reader that parses blocks in place, giving exactly what
// the fscanf reader gives.
#pragma once

#include "io/read_result.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

struct FastReadOptions {
    // Bytes asked of the file at a time. Tests use a few bytes so that numbers straddle blocks.
    size_t blockBytes = size_t(1) << 20;
    // A regular file whose body has at least this many bytes is parsed by two threads, the
    // second one starting halfway through. Tests lower it to reach the hand-over on small files.
    int64_t splitBytes = int64_t(8) << 20;
    // Called on the thread that runs readBody, after each block.
    std::function<void(const ReadProgress&)> progress;
};

namespace native {
struct BlockSource;
struct BlockStream;
} // namespace native

// Reads one point file in two steps, so that a caller can report a file that can't be opened
// or whose records can't be allocated before it starts on the body (on another thread if it
// likes). Every input gives the status, count and records that readPointFileScanf gives:
// numbers in the usual decimal forms are converted in place, anything else goes through a
// character-by-character scan that follows the C library's "%f" and then its strtof.
class FastReader {
public:
    explicit FastReader(const FastReadOptions& options = FastReadOptions());
    ~FastReader();
    FastReader(const FastReader&) = delete;
    FastReader& operator=(const FastReader&) = delete;

    // Opens the file, scans the header and allocates the declared records. Read means the
    // body can follow; a header that doesn't match gives Read with nothing to follow.
    ReadStatus open(const char* path);
    // The same for a file already mapped: its bytes, which must stay until the body is read.
    ReadStatus open(const unsigned char* bytes, size_t size);
    // Parses the records, once, after open gave Read, then closes the file.
    void readBody();
    // Hands the records over to the caller (see ReadResult); after readBody.
    ReadResult take();

    // While readBody runs on another thread: the records, allocated by open, and how many of
    // them from the first on are final (never written again). At the end that is the count.
    const PointRecord* records() const { return points_; }
    int64_t recordsReady() const { return recordsReady_.load(std::memory_order_acquire); }

private:
    ReadStatus start(const native::BlockSource& source);
    void closeStream();
    int64_t parseRange(int64_t index, int64_t limit, bool split);

    FastReadOptions options_;
    std::unique_ptr<native::BlockStream> stream_;
    int64_t fileSize_ = 0; // 0 unless the file is regular (or mapped)
    int64_t declared_ = 0;
    PointRecord* points_ = nullptr;
    int32_t count_ = 0;
    std::atomic<int64_t> recordsReady_{0};
    ReadStatus status_ = ReadStatus::CannotOpen;
};

// open, readBody and take in one call, by path or from the mapped bytes.
ReadResult readPointFile(const char* path, const FastReadOptions& options = FastReadOptions());
ReadResult readPointBytes(const unsigned char* bytes, size_t size,
                          const FastReadOptions& options = FastReadOptions());
