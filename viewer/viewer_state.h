// viewer/viewer_state.h - everything the viewer changes as it runs, in one record.
#pragma once

#include "viewer/camera.h"
#include "viewer/display_settings.h"
#include "viewer/frame_scheduler.h"
#include "viewer/navigation.h"
#include "viewer/point_colours.h"
#include "viewer/point_set.h"

#include <cstdint>

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
    int classesWindow = 0; // the GLUT id of the classes window, 0 when there is none
};

extern Viewer viewer;

// Back to the state before anything was loaded: a whole frame in progress given up, the points
// released and every part at its defaults. For tests.
void resetViewer();
