// tests/viewer/shown_runs_test.cpp - a level of detail's runs of records narrowed to the shown
// ones: the same records less the hidden, through the list, with nothing lost at the runs' ends.
#include "viewer/shown_runs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

PointSegment run(int64_t first, int64_t count, uint64_t id) {
    PointSegment segment;
    segment.first = first;
    segment.count = count;
    segment.id = id;
    return segment;
}

// The records a segment names.
std::vector<int64_t> records(const PointSegment& segment) {
    std::vector<int64_t> out;
    for (int64_t k = segment.first; k < segment.first + segment.count; ++k)
        out.push_back(segment.indices ? int64_t(segment.indices[k]) : k);
    return out;
}

} // namespace

TEST(ShownRuns, EachRunKeepsItsShownRecordsInOrderAndEmptyRunsGo) {
    // Records 0..19 in runs [0,5) [5,9) [9,10) [10,20); shown: those not divisible by 3, and 9
    // is hidden so its run is empty; the runs come in drawing order, not record order.
    std::vector<uint32_t> shown;
    for (uint32_t i = 0; i < 20; ++i)
        if (i % 3 != 0)
            shown.push_back(i);
    std::vector<PointSegment> segments = {run(10, 10, 4), run(0, 5, 1), run(9, 1, 3), run(5, 4, 2)};
    const int64_t points = keepShown(segments, shown.data(), int64_t(shown.size()));
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(records(segments[0]), (std::vector<int64_t>{10, 11, 13, 14, 16, 17, 19}));
    EXPECT_EQ(records(segments[1]), (std::vector<int64_t>{1, 2, 4}));
    EXPECT_EQ(records(segments[2]), (std::vector<int64_t>{5, 7, 8}));
    EXPECT_EQ(points, 13);
    // Each keeps its node: a GPU's buffer of it still holds the records the list names.
    EXPECT_EQ(segments[0].id, 4u);
    EXPECT_EQ(segments[1].id, 1u);
    EXPECT_EQ(segments[2].id, 2u);
}

TEST(ShownRuns, NothingShownLeavesNoRunsAndEverythingShownKeepsEachWhole) {
    std::vector<PointSegment> segments = {run(0, 3, 1), run(3, 2, 2)};
    const uint32_t none[1] = {0};
    std::vector<PointSegment> hidden = segments;
    EXPECT_EQ(keepShown(hidden, none, 0), 0);
    EXPECT_TRUE(hidden.empty());

    const uint32_t all[5] = {0, 1, 2, 3, 4};
    EXPECT_EQ(keepShown(segments, all, 5), 5);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(records(segments[0]), (std::vector<int64_t>{0, 1, 2}));
    EXPECT_EQ(records(segments[1]), (std::vector<int64_t>{3, 4}));
}
