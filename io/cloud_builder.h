// io/cloud_builder.h - points added one at a time (OBJ, E57, PLY vertices with lists), stored as
// floats against a shift, non-finite positions dropped; and what the readers that fill records
// in place share: the box gathered while decoding, text read in blocks of lines.
#pragma once

#include "io/read_result.h"
#include "io/shift.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

// Grows the records as points arrive (exactly once when the count is known up front), holds
// them as float(file - provisional shift) with the shift taken from the first point, and hands
// them to a ReadResult with the shift settled.
class CloudBuilder {
public:
    CloudBuilder() = default;
    ~CloudBuilder() { releasePoints(points_); }
    CloudBuilder(const CloudBuilder&) = delete;
    CloudBuilder& operator=(const CloudBuilder&) = delete;

    // Room for this many points; false when it cannot be had.
    bool reserve(int64_t count);
    // False only when storage cannot grow. A non-finite x, y or z is counted, not stored.
    bool add(double x, double y, double z, float r, float g, float b);
    int64_t count() const { return count_; }
    int64_t dropped() const { return dropped_; }
    PointRecord* points() { return points_; }
    // Stores against the provisional shift of another builder (which has its first point), so
    // that the two can be joined.
    void useShiftOf(const CloudBuilder& other);
    // Appends the other builder's points and dropped count; false when storage cannot grow.
    bool append(const CloudBuilder& other);
    // Moves the points, the count of dropped ones and the settled shift into result.
    void finish(ReadResult& result);

private:
    PointRecord* points_ = nullptr;
    int64_t count_ = 0;
    int64_t capacity_ = 0;
    int64_t dropped_ = 0;
    bool started_ = false;
    double shift_[3] = {0.0, 0.0, 0.0};
};

// --- Records filled in place ---

// Maps the pages under records [0, count) before they are written, in one call rather than a
// fault per page; each thread does it for its own part, so the zeroing is split too. A hint:
// nothing happens where the kernel cannot do it.
void prefaultRecords(PointRecord* points, int64_t count);

// What one part of the records decoded in place found. A dropped record is left in its slot
// with a non-finite position.
struct PartFound {
    int64_t dropped = 0;
    StoredBox box;
};

// Decodes records [0, count) into result.points, which has room for them, by decode(begin, end)
// in parts over the threads, each part's pages mapped first; then takes the dropped records out,
// the others kept in order, and settles the shift.
void decodeInParts(ReadResult& result, int64_t count, int threads, const double shift[3],
                   const std::function<PartFound(int64_t begin, int64_t end)>& decode);

// --- Records of one line each, read in blocks ---

// What one block of lines gave; its records are stored from its first slot on, in order.
struct LineBlock {
    int64_t kept = 0;
    int64_t dropped = 0; // records with a non-finite position, not stored
    float colourMax = 0.0f;
    const char* bad = nullptr; // the first line that is not a record; null when none
    StoredBox box;

    // Stores point at file position xyz, against the shift, in out's next slot; a position with
    // a non-finite coordinate is counted as dropped instead.
    void keep(const double xyz[3], const double shift[3], PointRecord point, PointRecord* out) {
        if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2])) {
            ++dropped;
            return;
        }
        point.x = static_cast<float>(xyz[0] - shift[0]);
        point.y = static_cast<float>(xyz[1] - shift[1]);
        point.z = static_cast<float>(xyz[2] - shift[2]);
        out[kept++] = point;
        box.add(point);
    }
};

// Reads the records of the lines [from, to), from a line start, at most `most` of them
// (dropped ones included), into out.
using LineBlockReader =
    std::function<LineBlock(const char* from, const char* to, int64_t most, PointRecord* out)>;

// Reads the lines of [p, end) in blocks over the threads, each block by `read` into slots of its
// own, counted from the blocks' line ends first so that the records are allocated once (exactly
// when every line is a record). The blocks are joined in order; reading ends at the first bad
// line or at the most-th record, and what follows is left out. With everyLineARecord, blocks
// wholly past the most-th line are not read at all. Fills result's points, count and dropped;
// joined gets the colour maximum, the box and where a bad line stopped the read. accepted (may
// be empty) runs once the records are allocated. False, with result's status CannotAllocate,
// when they cannot be had.
bool readLineBlocks(const char* p, const char* end, int64_t most, int threads,
                    bool everyLineARecord, const std::function<void()>& accepted,
                    const LineBlockReader& read, ReadResult& result, LineBlock& joined);
