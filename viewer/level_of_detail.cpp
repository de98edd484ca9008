// viewer/level_of_detail.cpp - the octree's build started after a frame, and its end watched.
#include "viewer/level_of_detail.h"

#include "viewer/point_renderer.h"
#include "viewer/point_subset.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <new>

namespace {

// The sample drawn while the octree is built: a frame's subset, but no more than this share of
// the cloud, so that the copy stays small beside the records.
constexpr int64_t kSampleShare = 25;
// How often the timer looks for the build's end.
constexpr int kWatchMilliseconds = 10;

int graphicsWindow = 0;

void treeTaken() {
    // The records have moved: colours made for them are in the old order.
    viewer.pointColours.release();
    if (graphicsWindow) {
        const int previous = glutGetWindow();
        glutSetWindow(graphicsWindow);
        glutPostRedisplay();
        if (previous && previous != graphicsWindow)
            glutSetWindow(previous);
    }
}

void watchBuild(int) {
    CloudOctree* octree = viewer.cloudOctree.get();
    if (!octree || octree->state() != CloudOctree::State::Building)
        return;
    if (octree->poll())
        treeTaken();
    else
        glutTimerFunc(kWatchMilliseconds, watchBuild, 0);
}

} // namespace

void afterFrame() {
    PointSet& set = viewer.pointSet;
    FrameScheduler& scheduler = viewer.frameScheduler;
    if (viewer.cloudOctree || !viewer.lodSettings.buildOctree || set.pending || !set.points ||
        set.count <= scheduler.frameBudget(false))
        return;
    viewer.cloudOctree.reset(new (std::nothrow) CloudOctree);
    if (!viewer.cloudOctree)
        return;
    // Nothing may read the records while they move: a whole frame of them in progress goes.
    scheduler.cancel();
    PointSubset sample;
    sample.sample(set.count, std::min<int64_t>(subsetSizeFor(scheduler.frameBudget(true)),
                                               set.count / kSampleShare));
    OctreeOptions options = viewer.lodSettings.octree;
    options.threads = usableCores();
    viewer.cloudOctree->refinePixels = viewer.lodSettings.refinePixels;
    viewer.cloudOctree->start(set, sample.indices(), sample.size(), options);
    graphicsWindow = glutGetWindow();
    if (viewer.cloudOctree->state() == CloudOctree::State::Building) {
        glutTimerFunc(kWatchMilliseconds, watchBuild, 0);
        // The next frame draws the sample rather than the records.
        glutPostRedisplay();
    }
}

const PointCloud& drawnCloud() {
    const CloudOctree* octree = viewer.cloudOctree.get();
    if (octree && octree->state() == CloudOctree::State::Building)
        return octree->sample();
    return viewer.pointSet;
}

LodSource* levelOfDetail() {
    CloudOctree* octree = viewer.cloudOctree.get();
    return octree && octree->state() == CloudOctree::State::Ready ? octree : nullptr;
}

void finishLevelOfDetail() {
    CloudOctree* octree = viewer.cloudOctree.get();
    if (!octree || octree->state() != CloudOctree::State::Building)
        return;
    while (!octree->poll())
        octree->waitForEnd();
    treeTaken();
}

std::vector<PointSegment> pickablePoints() {
    const PointCloud& cloud = drawnCloud();
    PointSegment all;
    all.source = recordSource(cloud.points, cloud.count);
    all.count = cloud.count;
    return {all};
}
