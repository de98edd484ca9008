// io/records_in_place.cpp - the parts decoded, the dropped records taken out, the shift settled.
#include "io/records_in_place.h"

#include "io/format_reader.h"
#include "threads/worker_pool.h"

#include <sys/mman.h>

bool allocateRecords(const ReadRequest& request, int64_t count, ReadResult& result) {
    result.points = allocatePoints(count);
    if (!result.points) {
        cannotAllocate(result, count, static_cast<uint64_t>(count) * sizeof(PointRecord));
        return false;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    return true;
}

void prefaultRecords(PointRecord* points, int64_t count) {
#if defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t kPage = 4096;
    const uintptr_t first = reinterpret_cast<uintptr_t>(points) & ~(kPage - 1);
    const uintptr_t last = reinterpret_cast<uintptr_t>(points + count);
    if (count > 0)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)points, (void)count;
#endif
}

StoredBox decodeParts(ReadResult& result, int64_t count, int threads,
                      const std::function<PartFound(int64_t begin, int64_t end)>& decode) {
    PartFound inPart[kMostParts];
    PointRecord* points = result.points;
    const int parts =
        runInParts(count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int part) {
            prefaultRecords(points + begin, end - begin);
            inPart[part] = decode(begin, end);
        });
    PartFound found;
    for (int part = 0; part < parts; ++part) {
        found.dropped += inPart[part].dropped;
        found.box.join(inPart[part].box);
    }
    // The parts' box counts the dropped records too: the one of those kept is gathered as the
    // gaps close.
    // The attributes' entries move with their records, a run of kept ones at a time.
    int64_t kept = count;
    if (found.dropped) {
        kept = 0;
        found.box = StoredBox();
        for (int64_t i = 0; i < count;) {
            int64_t run = i;
            while (run < count && finitePosition(points[run]))
                ++run;
            result.attributes.moveDown(kept, i, run - i);
            for (; i < run; ++i) {
                points[kept] = points[i];
                found.box.add(points[kept++]);
            }
            ++i; // past the dropped record that ended the run
        }
        result.attributes.resize(kept);
    }
    result.count = kept;
    result.dropped = count - kept;
    return found.box;
}

void decodeInParts(ReadResult& result, int64_t count, int threads, const double shift[3],
                   const std::function<PartFound(int64_t begin, int64_t end)>& decode) {
    const StoredBox box = decodeParts(result, count, threads, decode);
    settleShift(result, shift, box, threads);
}
