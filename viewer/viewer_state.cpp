// viewer/viewer_state.cpp - the one viewer record.
#include "viewer/viewer_state.h"

#include <new>

Viewer viewer;

void resetViewer() {
    viewer.frameScheduler.cancel();
    // The build moves the records: it ends before they go.
    viewer.cloudOctree.reset();
    viewer.copcLod.reset();
    viewer.sceneLod.reset();
    // The records are the loader's to release, never the point set's.
    releasePoints(viewer.pointSet.points);
    // Built again in place: GCC 12 warns, wrongly, of uninitialised members when a record this
    // large is assigned from a temporary.
    viewer.~Viewer();
    new (&viewer) Viewer();
}
