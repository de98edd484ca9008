// io/line_blocks.h - text of one record a line (column text, PTS, ascii PLY and PCD) read in
// blocks of lines over the threads, each block straight into slots of its own.
#pragma once

#include "io/attribute_staging.h"
#include "io/format_reader.h"
#include "io/shift.h"

#include <cstdint>
#include <functional>

// What one block of lines gave; its records are stored from its first slot on, in order.
struct LineBlock {
    int64_t kept = 0;
    int64_t dropped = 0; // records with a non-finite position, not stored
    float colourMax = 0.0f;
    const char* bad = nullptr; // the first line that is not a record; null when none
    StoredBox box;
    bool lastDropped = false; // the last record was dropped rather than kept

    // Stores point at file position xyz, against the shift, in out's next slot; a position with
    // a non-finite coordinate is counted as dropped instead. Whether it was stored (in slot
    // kept - 1).
    bool keep(const double xyz[3], const double shift[3], PointRecord point, PointRecord* out) {
        lastDropped = !finitePosition(xyz);
        if (lastDropped) {
            ++dropped;
            return false;
        }
        point.x = static_cast<float>(xyz[0] - shift[0]);
        point.y = static_cast<float>(xyz[1] - shift[1]);
        point.z = static_cast<float>(xyz[2] - shift[2]);
        out[kept++] = point;
        box.add(point);
        return true;
    }
};

// Reads the records of the lines [from, to), from a line start, at most `most` of them
// (dropped ones included), into out, which is slot `slot` of the records: a reader that stages
// attributes stores a record's in the same slot.
using LineBlockReader = std::function<LineBlock(const char* from, const char* to, int64_t most,
                                                PointRecord* out, int64_t slot)>;

// Reads the lines of [p, end) in blocks over the threads, each block by `read` into slots of its
// own, counted from the blocks' line ends first so that the records are allocated once (exactly
// when every line is a record). The blocks are joined in order; reading ends at the first bad
// line or at the most-th record, and what follows is left out. With everyLineARecord, blocks
// wholly past the most-th line are not read at all. Fills result's points, count and dropped;
// joined gets the colour maximum, the box and where a bad line stopped the read. accepted (may
// be empty) runs once the records are allocated. staging, when given, gets a slot for each
// record slot, moved with them as the blocks are joined and cut to the records kept. False,
// with result's status CannotAllocate, when they cannot be had.
bool readLineBlocks(const char* p, const char* end, int64_t most, int threads,
                    bool everyLineARecord, const std::function<void()>& accepted,
                    const LineBlockReader& read, ReadResult& result, LineBlock& joined,
                    AttributeStaging* staging = nullptr);

// --- A text body from its first line to its end ---

// What the look at one line before the blocks found.
enum class LineKind { Record, Skipped, Bad };

// How a format reads the records of its text body. look reads the line at p and moves p to the
// next: a record (its file position in xyz), a line without one (blank, comment), or a bad line,
// which ends the look. The look goes on past the record that gives the shift while more(records
// looked at) says so; without more it stops there. block reads the records of lines [from, to),
// at most `most`, against the shift, into out. A body that ends before `most` records says which
// is missing, by the name given in missing ("vertex"), when there is one. A body whose records
// carry attributes stages them in attributes, by the slot block is given.
struct TextBody {
    std::function<LineKind(const char*& p, const char* end, double xyz[3])> look;
    std::function<bool(int64_t records)> more;
    std::function<LineBlock(const char* from, const char* to, int64_t most, const double shift[3],
                            PointRecord* out, int64_t slot)>
        block;
    const char* missing = nullptr;
    AttributeStaging* attributes = nullptr;
};

// Reads the body [p, end), at most `most` records (dropped ones included), into result: the
// provisional shift is the first finite position's among the records looked at, as if they were
// added one by one; the lines are read in blocks by readLineBlocks; the shift is settled over the
// records' box. A counted body (most < INT64_MAX) that ends short of its count in a line without
// its line end was cut there, perhaps inside a number: that last record is left out. joined is
// readLineBlocks'. False, with result's status CannotAllocate, when the records cannot be had.
bool readTextBody(const ReadRequest& request, const char* p, const char* end, int64_t most,
                  bool everyLineARecord, const TextBody& body, ReadResult& result,
                  LineBlock& joined);
