// viewer/lod/cloud_octree.h - the level of detail of a cloud held in memory: its octree, built
// on a pool thread once the first frame is on screen, and a sample drawn while it is built.
#pragma once

#include "io/octree/octree_builder.h"
#include "io/point_cloud.h"
#include "threads/worker_pool.h"
#include "viewer/lod/lod_source.h"
#include "viewer/lod/lod_tree.h"
#include "viewer/point_visibility.h"

#include <atomic>
#include <memory>
#include <vector>

// Owns the octree's table and the sample; the records stay the cloud's. While the build runs it
// moves the cloud's records (and their attribute columns): nothing else may read or change them
// until poll reports its end. The frames meanwhile draw the sample, a copy of a few of them.
class CloudOctree : public LodSource {
public:
    enum class State { None, Building, Ready, Failed };

    CloudOctree() = default;
    // Gives up a build in progress and waits for it.
    ~CloudOctree() override;
    CloudOctree(const CloudOctree&) = delete;
    CloudOctree& operator=(const CloudOctree&) = delete;

    // Copies the records at sampleIndices (sampleSize of them) with the cloud's box, then starts
    // the build over cloud, which must outlive it. Failed at once when no thread can be had.
    void start(PointCloud& cloud, const uint32_t* sampleIndices, int64_t sampleSize,
               const OctreeOptions& options);
    // On the main thread: true once, the first time it is called after the build has ended
    // (Ready, or Failed with every record still there); the sample is then released.
    bool poll();
    // Returns once a build started has ended; poll then reports it.
    void waitForEnd() {
        if (task_)
            task_->wait();
    }
    State state() const { return state_; }
    // What frames draw while the build runs, and which of its records are shown (its switches
    // are for the caller to keep as the cloud's).
    const PointCloud& sample() const { return sample_; }
    PointVisibility& sampleVisibility() { return sampleVisibility_; }
    const Octree& octree() const { return octree_; }
    const std::vector<LodNode>& nodes() const { return nodes_; }

    // Runs of the cloud's records, one a node, once Ready.
    LodFrame frame(const View& view, int64_t budget, const PointSource& cloud) override;

    double refinePixels = kRefinePixels;

private:
    void takeTree();

    State state_ = State::None;
    std::vector<PointRecord> sampleRecords_;
    PointCloud sample_;
    PointVisibility sampleVisibility_;
    Octree octree_;
    bool built_ = false;
    std::vector<LodNode> nodes_;
    std::vector<WantedNode> wanted_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> ended_{false};
    std::unique_ptr<PoolTask> task_;
};
