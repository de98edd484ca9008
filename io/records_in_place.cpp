// io/records_in_place.cpp - the parts decoded, the dropped records taken out, the shift settled.
#include "io/records_in_place.h"

#include "io/format_reader.h"
#include "threads/worker_pool.h"

#include <cmath>

#include <sys/mman.h>

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

void decodeInParts(ReadResult& result, int64_t count, int threads, const double shift[3],
                   const std::function<PartFound(int64_t begin, int64_t end)>& decode) {
    PartFound inPart[kMostParts];
    PointRecord* points = result.points;
    const int parts = runInParts(count, threads, [&](int64_t begin, int64_t end, int part) {
        prefaultRecords(points + begin, end - begin);
        inPart[part] = decode(begin, end);
    }, kSmallestReadPart);
    PartFound found;
    for (int part = 0; part < parts; ++part) {
        found.dropped += inPart[part].dropped;
        found.box.join(inPart[part].box);
    }
    int64_t kept = count;
    if (found.dropped) {
        kept = 0;
        for (int64_t i = 0; i < count; ++i)
            if (std::isfinite(points[i].x) && std::isfinite(points[i].y) &&
                std::isfinite(points[i].z))
                points[kept++] = points[i];
    }
    result.count = kept;
    result.dropped = count - kept;
    // The box of the decoded records counts the dropped ones too.
    if (found.dropped)
        settleShift(result, shift);
    else
        settleShiftOverBox(result, shift, found.box, threads);
}
