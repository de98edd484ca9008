// viewer/viewer_state.h - everything the viewer changes as it runs, in one record.
#pragma once

#include "viewer/camera.h"
#include "viewer/display_settings.h"
#include "viewer/frame_scheduler.h"
#include "viewer/level_of_detail.h"
#include "viewer/lod/cloud_octree.h"
#include "viewer/lod/copc_lod.h"
#include "viewer/lod/scene_lod.h"
#include "viewer/measurement.h"
#include "viewer/navigation.h"
#include "viewer/point_colours.h"
#include "viewer/point_query.h"
#include "viewer/point_set.h"

#include <cstdint>
#include <memory>

// When and how clouds get their level of detail; tests change them.
struct LodSettings {
    // A cloud in memory with more points than a frame draws gets an octree.
    bool buildOctree = true;
    OctreeOptions octree;
    double refinePixels = kRefinePixels;
    // Octree LAZ files with more points than this are streamed (as are those beyond the memory).
    int64_t streamPointsAbove = kStreamedPointsMinimum;
};

// The viewer's mutable state, with static storage in `viewer`. The GLUT callbacks and the
// control panel reach it there; the code beneath them is handed the parts it needs. The control
// panel binds viewState.navigationMode and showAxis as live variables.
struct Viewer {
    PointSet pointSet;
    ViewState viewState;
    PointerState pointer;
    DisplaySettings displaySettings;
    int32_t showAxis = 0; // non-zero draws the three axes at the centroid
    FrameScheduler frameScheduler;
    PointColours pointColours;
    PointQuery query; // the point a double-click marked
    Measurement measurement;
    int classesWindow = 0; // the GLUT id of the classes window, 0 when there is none
    LodSettings lodSettings;
    // The octree of the point set, once a frame has shown that it needs one.
    std::unique_ptr<CloudOctree> cloudOctree;
    // An octree file streamed from disk: the point set then holds no records, only the box.
    std::unique_ptr<CopcLod> copcLod;
    // A scene of several files some of which are streamed: every part drawn together, the
    // point set holding the records of those read whole.
    std::unique_ptr<SceneLod> sceneLod;
};

extern Viewer viewer;

// Back to the state before anything was loaded: a whole frame in progress and an octree's build
// given up, the points released and every part at its defaults. For tests.
void resetViewer();
