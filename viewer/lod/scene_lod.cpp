// viewer/lod/scene_lod.cpp - a scene's frame: the records held in memory, then each streamed
// file's nodes, within one budget.
#include "viewer/lod/scene_lod.h"

#include "viewer/shown_runs.h"

#include <algorithm>

namespace {

// budget's share for a part of `points` of `total`.
int64_t shareOf(int64_t budget, int64_t points, int64_t total) {
    if (total <= 0)
        return budget;
    return static_cast<int64_t>(double(budget) * double(points) / double(total));
}

} // namespace

void SceneLod::holdRecords(LodSource* octree, PointVisibility* visibility) {
    octree_ = octree;
    visibility_ = visibility;
}

int64_t SceneLod::declaredPoints() const {
    int64_t points = 0;
    for (const std::unique_ptr<CopcLod>& part : parts_)
        points += part->declaredPoints();
    return points;
}

LodFrame SceneLod::frame(const View& view, int64_t budget, const PointSource& cloud) {
    LodFrame frame;
    frame.complete = true;
    std::vector<PointSegment>& segments = frame.segments;
    // Each part numbers its nodes from 1: the numbers are made the scene's own, so that a
    // buffer kept for one part's node is never taken for another's.
    const uint64_t slots = parts_.size() + 1;
    auto add = [&](std::vector<PointSegment>& from, uint64_t slot) {
        for (PointSegment& segment : from) {
            if (segment.id != 0)
                segment.id = segment.id * slots + slot;
            segments.push_back(segment);
        }
    };
    const int64_t declared = declaredPoints();
    const uint32_t* shown = visibility_ ? visibility_->drawn() : nullptr;
    const int64_t shownCount = shown ? visibility_->drawnCount() : 0;
    if (cloud.count > 0) {
        if (octree_) {
            const int64_t share =
                budget < 0 ? -1 : shareOf(budget, cloud.count, cloud.count + declared);
            LodFrame held = octree_->frame(view, share, cloud);
            // The octree's runs are of every record; the streamed nodes leave out their hidden
            // points themselves, so only these are narrowed.
            if (shown)
                keepShown(held.segments, shown, shownCount);
            frame.complete = held.complete;
            add(held.segments, 0);
        } else {
            PointSegment run;
            run.source = cloud;
            run.indices = shown;
            run.count = shown ? shownCount : cloud.count;
            if (run.count > 0)
                segments.push_back(run);
        }
    }
    int64_t used = 0;
    for (const PointSegment& segment : segments)
        used += segment.count;
    // What the records held left of the budget goes to the streamed files by their points.
    const int64_t left = budget < 0 ? -1 : std::max<int64_t>(budget - used, 0);
    for (size_t k = 0; k < parts_.size(); ++k) {
        CopcLod& part = *parts_[k];
        const int64_t share = left < 0       ? -1
                              : declared > 0 ? shareOf(left, part.declaredPoints(), declared)
                                             : left / int64_t(parts_.size());
        LodFrame streamed = part.frame(view, share, cloud);
        frame.complete = frame.complete && streamed.complete;
        add(streamed.segments, k + 1);
    }
    for (const PointSegment& segment : segments)
        frame.points += segment.count;
    lastSegments_ = segments;
    return frame;
}
