// io/native/fast_reader.cpp - the native format's fast reader: the header, then the body parsed
// in place block by block, by one thread or split over two.
#include "io/native/fast_reader.h"

#include "io/mapped_file.h"
#include "io/native/block_stream.h"
#include "io/native/body_split.h"
#include "io/native/c_scanner.h"
#include "io/native/number_parsing.h"

#include <algorithm>
#include <climits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace native;

namespace {

// Share of the body left to the first thread when a body is split. The second thread first
// counts its way through the first part, but at 64 bytes a step that takes little time.
constexpr double kFirstShare = 0.52;

} // namespace

FastReader::FastReader(const FastReadOptions& options) : options_(options) {}

FastReader::~FastReader() {
    closeStream();
    releasePoints(points_);
}

ReadStatus FastReader::open(const char* path) {
    BlockSource source;
    source.fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (source.fd < 0)
        return status_ = ReadStatus::CannotOpen;
    if (isDirectory(source.fd)) {
        close(source.fd);
        return status_ = ReadStatus::CannotOpen;
    }
    struct stat status;
    source.seekable = fstat(source.fd, &status) == 0 && S_ISREG(status.st_mode);
    fileSize_ = source.seekable ? static_cast<int64_t>(status.st_size) : 0;
    return start(source);
}

ReadStatus FastReader::open(const unsigned char* bytes, size_t size) {
    BlockSource source;
    source.bytes = bytes;
    source.size = static_cast<int64_t>(size);
    source.seekable = true;
    fileSize_ = source.size;
    return start(source);
}

ReadStatus FastReader::start(const BlockSource& source) {
    stream_.reset(new (std::nothrow) BlockStream);
    if (!stream_ || !stream_->init(source, options_.blockBytes)) {
        if (source.fd >= 0)
            close(source.fd);
        stream_.reset();
        return status_ = ReadStatus::CannotAllocate;
    }
    int64_t declared = 0;
    scanHeader(*stream_, &declared);
    points_ = declared <= INT32_MAX ? allocatePoints(declared) : nullptr;
    if (!points_) {
        closeStream();
        return status_ = ReadStatus::CannotAllocate;
    }
    declared_ = declared;
    return status_ = ReadStatus::Read;
}

void FastReader::closeStream() {
    if (stream_ && stream_->source.fd >= 0)
        close(stream_->source.fd);
    stream_.reset();
}

void FastReader::readBody() {
    if (status_ != ReadStatus::Read || !stream_)
        return;
    const bool split =
        stream_->source.seekable && fileSize_ - stream_->offset() >= options_.splitBytes;
    count_ = static_cast<int32_t>(parseRange(0, declared_ * 6, split) / 6);
    recordsReady_.store(count_, std::memory_order_release);
    closeStream();
}

// Parses numbers index .. limit-1 into the records and returns the index of the first number
// that wasn't read: the first that doesn't scan, or the one at the end of the file.
int64_t FastReader::parseRange(int64_t index, int64_t limit, bool split) {
    BlockStream& in = *stream_;
    const int64_t bodyStart = in.offset();

    Helper* helper = nullptr;
    if (split && limit > index) {
        helper = new (std::nothrow) Helper;
        if (helper) {
            helper->source = in.source;
            helper->blockBytes = options_.blockBytes;
            helper->bodyStart = bodyStart;
            helper->from =
                bodyStart +
                static_cast<int64_t>(static_cast<double>(fileSize_ - bodyStart) * kFirstShare);
            helper->limit = limit;
            helper->points = points_;
            if (!startHelper(helper)) {
                delete helper;
                helper = nullptr;
            }
        }
    }
    // The first number at or after `trigger` is where the helper's result may take over.
    int64_t trigger = helper ? helper->from : INT64_MAX;
    int64_t previousEnd = -1;

    auto report = [&] {
        // Records below the first thread's index are final: nothing writes them again.
        recordsReady_.store(index / 6, std::memory_order_release);
        if (!options_.progress)
            return;
        ReadProgress progress;
        progress.bytesRead = in.offset();
        int64_t numbers = index;
        if (helper) {
            progress.bytesRead += helper->bytesParsed.load(std::memory_order_relaxed);
            numbers += helper->numbersParsed.load(std::memory_order_relaxed);
        }
        progress.bytesTotal = fileSize_;
        progress.pointsRead = numbers / 6;
        options_.progress(progress);
    };

    while (index < limit) {
        const char* end = in.data + in.length;
        int64_t untilInBlock = std::min<int64_t>(std::max<int64_t>(trigger - in.base, 0),
                                                 static_cast<int64_t>(in.length));
        // Right after a number from scanFloat the next one may follow without a blank, and
        // the checks below must see it before the in-place parser takes it.
        if (helper && previousEnd == in.offset())
            untilInBlock = static_cast<int64_t>(in.position);
        const char* p = parseInPlace(in.data + in.position, end, in.data + untilInBlock, points_,
                                     &index, limit);
        in.position = static_cast<size_t>(p - in.data);
        if (index == limit)
            break;
        if (p == end) {
            if (!in.refill(in.length))
                break;
            report();
            continue;
        }

        // At the start of a number that the in-place parser left, or at the trigger.
        if (helper) {
            const int64_t at = in.offset();
            if (at == previousEnd) {
                // Two numbers without a blank between them: the helper's count of runs
                // doesn't give indices here, and this thread is about to write the index it
                // starts at. It stops before that happens and this thread reads on alone.
                stopHelper(helper);
                helper = nullptr;
                trigger = INT64_MAX;
            } else if (at >= trigger) {
                const int64_t blankAt = helper->waitForBlank();
                trigger = blankAt == INT64_MAX ? INT64_MAX : blankAt + 1;
                if (at > blankAt) {
                    helper->task.wait();
                    if (index == helper->firstIndex) {
                        index = helper->stopIndex;
                        in.seek(helper->stopOffset);
                    } else {
                        // Cannot happen while every number so far had its own run; should it,
                        // reading again alone from the start can't go wrong.
                        index = 0;
                        in.seek(bodyStart);
                    }
                    delete helper;
                    helper = nullptr;
                    trigger = INT64_MAX;
                    previousEnd = -1;
                    report();
                    continue;
                }
            }
        }

        const char* next = nullptr;
        float value;
        const Token token = parseDecimal(p, end, &next, &value);
        if (token == Token::NeedsMore && !in.ended && end - p <= int64_t(kKeepBytes)) {
            if (in.refill(in.position))
                report();
            continue;
        }
        if (token == Token::Converted)
            in.position = static_cast<size_t>(next - in.data);
        else if (!scanFloat(in, &value))
            break;
        store(points_, index++, value);
        previousEnd = in.offset();
    }
    if (helper)
        stopHelper(helper);
    return index;
}

ReadResult FastReader::take() {
    ReadResult result;
    result.status = status_;
    if (status_ == ReadStatus::Read) {
        result.points = points_;
        result.count = count_;
        points_ = nullptr;
    }
    return result;
}

ReadResult readPointFile(const char* path, const FastReadOptions& options) {
    FastReader reader(options);
    if (reader.open(path) == ReadStatus::Read)
        reader.readBody();
    return reader.take();
}

ReadResult readPointBytes(const unsigned char* bytes, size_t size, const FastReadOptions& options) {
    FastReader reader(options);
    if (reader.open(bytes, size) == ReadStatus::Read)
        reader.readBody();
    return reader.take();
}
