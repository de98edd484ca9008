// io/line_blocks.cpp - the blocks' line ends counted, the records allocated once, the blocks read
// into their own slots and joined in order.
#include "io/line_blocks.h"

#include "io/format_reader.h"
#include "io/records_in_place.h"
#include "io/text_scan.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Line ends in [p, end): "\n", "\r\n" and a lone "\r" each count once.
int64_t lineEndsIn(const char* p, const char* end) {
    int64_t ends = 0;
#if defined(__SSE2__)
    // Byte counters that subtract the compares' -1s, summed before any can wrap.
    const __m128i newline = _mm_set1_epi8('\n'), carriage = _mm_set1_epi8('\r');
    while (end - p > 16) {
        __m128i counts = _mm_setzero_si128();
        for (int i = 0; i < 255 && end - p > 16; ++i, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i lf = _mm_cmpeq_epi8(bytes, newline);
            const __m128i lone =
                _mm_andnot_si128(_mm_cmpeq_epi8(after, newline), _mm_cmpeq_epi8(bytes, carriage));
            counts = _mm_sub_epi8(counts, _mm_or_si128(lf, lone));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        ends += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; p < end; ++p)
        ends += *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'));
    return ends;
}

// The start of the first line at or after offset `at` of [p, end); a block boundary.
const char* lineStartFrom(const char* p, const char* end, int64_t at) {
    return at == 0 ? p : at >= end - p ? end : nextLine(p + at - 1, end);
}

// Gives back the whole pages within [begin, end) of the records: what they held is not needed,
// and a page touched again reads as zeros.
void releasePages(const PointRecord* begin, const PointRecord* end) {
    constexpr uintptr_t kPage = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
    const uintptr_t last = reinterpret_cast<uintptr_t>(end) & ~(kPage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

// Moves count records from `from` down to `to`, a piece at a time, giving back the pages of
// each piece once moved, so that a block moved over free slots is never resident twice.
void moveDown(PointRecord* to, PointRecord* from, int64_t count) {
    constexpr int64_t kPiece = 1 << 16;
    for (int64_t done = 0; done < count; done += kPiece) {
        const int64_t n = std::min(kPiece, count - done);
        std::memmove(to + done, from + done, sizeof(PointRecord) * static_cast<size_t>(n));
        releasePages(std::max(from, to + done + n), from + done + n);
    }
}

} // namespace

bool readLineBlocks(const char* p, const char* end, int64_t most, int threads,
                    bool everyLineARecord, const std::function<void()>& accepted,
                    const LineBlockReader& read, ReadResult& result, LineBlock& joined,
                    AttributeStaging* staging) {
    const int64_t bytes = end - p;
    const char* from[kMostParts] = {};
    const char* to[kMostParts] = {};
    int64_t slots[kMostParts] = {};
    runInParts(bytes, threads, kSmallestReadPart, [&](int64_t begin, int64_t last, int part) {
        from[part] = lineStartFrom(p, end, begin);
        to[part] = lineStartFrom(p, end, last);
        // A block ends at a line start, so only the file's last line may lack its end.
        slots[part] =
            from[part] < to[part] ? lineEndsIn(from[part], to[part]) + !isLineEnd(to[part][-1]) : 0;
    });
    int64_t first[kMostParts + 1] = {};
    for (int part = 0; part < kMostParts; ++part)
        first[part + 1] = first[part] + slots[part];
    // When every line is a record, block k's first record is line first[k], so no block goes
    // past the most-th record.
    const int64_t total = everyLineARecord ? std::min(first[kMostParts], most) : first[kMostParts];
    PointRecord* points = allocatePoints(std::max<int64_t>(total, 1));
    if (!points) {
        cannotAllocate(result, total, static_cast<uint64_t>(total) * sizeof(PointRecord));
        return false;
    }
    if (staging)
        staging->resize(static_cast<size_t>(total));
    if (accepted)
        accepted();
    LineBlock blocks[kMostParts];
    const int parts =
        runInParts(bytes, threads, kSmallestReadPart, [&](int64_t, int64_t, int part) {
            if (everyLineARecord && first[part] >= most)
                return;
            const int64_t limit =
                std::min(everyLineARecord ? most - first[part] : most, slots[part]);
            prefaultRecords(points + first[part], limit);
            blocks[part] = read(from[part], to[part], limit, points + first[part], first[part]);
        });

    // The blocks joined in order, each moved down over the slots left free before it; reading
    // ends at the first bad line or at the most-th record, and what follows is dropped.
    int64_t kept = 0, dropped = 0;
    float colourMax = 0.0f;
    const char* bad = nullptr;
    StoredBox box;
    for (int part = 0; part < parts; ++part) {
        LineBlock& block = blocks[part];
        if (dropped + kept + block.kept + block.dropped > most)
            block = read(from[part], to[part], most - kept - dropped, points + first[part],
                         first[part]);
        if (kept != first[part] && block.kept) {
            moveDown(points + kept, points + first[part], block.kept);
            if (staging)
                staging->moveDown(static_cast<size_t>(kept), static_cast<size_t>(first[part]),
                                  static_cast<size_t>(block.kept));
        }
        kept += block.kept;
        dropped += block.dropped;
        colourMax = std::max(colourMax, block.colourMax);
        box.join(block.box);
        if (block.kept + block.dropped > 0)
            joined.lastDropped = block.lastDropped;
        if (kept + dropped >= most)
            break;
        if (block.bad) {
            bad = block.bad;
            break;
        }
    }
    result.points = points;
    result.count = kept;
    result.dropped = dropped;
    joined.kept = kept;
    joined.dropped = dropped;
    joined.colourMax = colourMax;
    joined.bad = bad;
    joined.box = box;
    // Slots left over (blank lines, holes) give their pages back.
    releasePages(points + kept, points + total);
    return true;
}

bool readTextBody(const ReadRequest& request, const char* p, const char* end, int64_t most,
                  bool everyLineARecord, const TextBody& body, ReadResult& result,
                  LineBlock& joined) {
    double shift[3] = {0.0, 0.0, 0.0};
    bool shiftFound = false;
    const char* q = p;
    for (int64_t records = 0; q < end && records < most;) {
        double xyz[3];
        const LineKind line = body.look(q, end, xyz);
        if (line == LineKind::Bad)
            break;
        if (line == LineKind::Skipped)
            continue;
        ++records;
        if (!shiftFound && finitePosition(xyz)) {
            provisionalShift(xyz, shift);
            shiftFound = true;
        }
        if (shiftFound && !(body.more && body.more(records)))
            break;
    }
    const bool allocated = readLineBlocks(
        p, end, most, request.threads, everyLineARecord, request.headerAccepted,
        [&](const char* from, const char* to, int64_t limit, PointRecord* out, int64_t slot) {
            return body.block(from, to, limit, shift, out, slot);
        },
        result, joined, body.attributes);
    if (!allocated)
        return false;
    const bool unterminated = end > p && !isLineEnd(end[-1]);
    if (most < INT64_MAX && unterminated && !joined.bad && result.count + result.dropped < most &&
        result.count + result.dropped > 0) {
        if (joined.lastDropped) {
            --result.dropped;
        } else {
            --result.count;
            joined.box = StoredBox();
            for (int64_t i = 0; i < result.count; ++i)
                joined.box.add(result.points[i]);
        }
        joined.kept = result.count;
        joined.dropped = result.dropped;
    }
    if (body.attributes)
        body.attributes->finish(static_cast<size_t>(result.count), result.attributes);
    const int64_t read = result.count + result.dropped;
    if (body.missing && read < most)
        result.message =
            body.missing + (" " + std::to_string(read + 1)) + " is missing or malformed";
    settleShift(result, shift, joined.box, request.threads);
    return true;
}
