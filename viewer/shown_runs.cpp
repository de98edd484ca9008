// viewer/shown_runs.cpp - a run's shown records found in the list by two binary searches.
#include "viewer/shown_runs.h"

#include <algorithm>

int64_t keepShown(std::vector<PointSegment>& segments, const uint32_t* shown, int64_t shownCount) {
    const uint32_t* end = shown + std::max<int64_t>(shownCount, 0);
    int64_t points = 0;
    size_t kept = 0;
    for (PointSegment segment : segments) {
        if (segment.indices == nullptr) {
            const int64_t last = segment.first + std::max<int64_t>(segment.count, 0);
            const uint32_t* from = std::lower_bound(
                shown, end, segment.first, [](uint32_t a, int64_t b) { return int64_t(a) < b; });
            const uint32_t* to = std::lower_bound(
                from, end, last, [](uint32_t a, int64_t b) { return int64_t(a) < b; });
            segment.indices = shown;
            segment.first = from - shown;
            segment.count = to - from;
        }
        if (segment.count <= 0)
            continue;
        points += segment.count;
        segments[kept++] = segment;
    }
    segments.resize(kept);
    return points;
}
