// viewer/frame.h - what a picture of the cloud holds, as the settings and the camera have it.
#pragma once

#include "viewer/frame_scheduler.h"

// The next frame of the graphics window, which is current: the background and the axes when
// viewer.showAxis is set under the points, the points not hidden in the chosen size and colours,
// the overlays and the legend over them, all through the camera's view.
FrameContent frameContent();

// The same frame at rest, drawn into the back buffer at once rather than through the frame
// scheduler, and not swapped: for screenshots. Every point shown, or with a level of detail
// those of every node the view wants that is there. A whole frame the scheduler has in progress
// is given up, and an octree's build is waited for.
void drawCompleteFrame();
