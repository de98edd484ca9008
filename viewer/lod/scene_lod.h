// viewer/lod/scene_lod.h - the level of detail of a scene of several files, some of them
// streamed: every part's nodes drawn together in one frame.
#pragma once

#include "viewer/lod/copc_lod.h"
#include "viewer/lod/lod_source.h"
#include "viewer/point_visibility.h"

#include <cstdint>
#include <memory>
#include <vector>

// Owns the streamed files' levels of detail (each with its own cache, all storing positions
// against the scene's one shift) and draws them after the records held in memory (the files
// read whole), which go through their own octree once it is built. A frame's budget is split
// among the parts by their points; a frame at rest asks every part for everything, and is
// complete once every part's is.
class SceneLod : public LodSource {
public:
    explicit SceneLod(std::vector<std::unique_ptr<CopcLod>> parts) : parts_(std::move(parts)) {}

    // How the next frames draw the records held in memory: through octree when it is not null,
    // else as the cloud a frame is given; either way only the records visibility shows, its
    // list asked for at each frame (a frame replaces any the scheduler has in progress).
    void holdRecords(LodSource* octree, PointVisibility* visibility);

    LodFrame frame(const View& view, int64_t budget, const PointSource& cloud) override;

    const std::vector<std::unique_ptr<CopcLod>>& parts() const { return parts_; }
    // The points the streamed files' headers declare, together.
    int64_t declaredPoints() const;
    // The runs the last frame drew, every part's: what a double-click may pick.
    const std::vector<PointSegment>& lastSegments() const { return lastSegments_; }

private:
    std::vector<std::unique_ptr<CopcLod>> parts_;
    LodSource* octree_ = nullptr;
    PointVisibility* visibility_ = nullptr;
    std::vector<PointSegment> lastSegments_;
};
