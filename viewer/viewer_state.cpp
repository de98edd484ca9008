// viewer/viewer_state.cpp - the one viewer record.
#include "viewer/viewer_state.h"

Viewer viewer;

void resetViewer() {
    viewer.frameScheduler.cancel();
    // The records are the loader's to release, never the point set's.
    releasePoints(viewer.pointSet.points);
    viewer = Viewer{};
}
