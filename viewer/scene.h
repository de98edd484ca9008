// viewer/scene.h - the graphics window: its creation, reshape and each frame.
#pragma once

#include "viewer/camera.h"
#include "viewer/point_set.h"

#include <cstdint>

// Non-zero to draw the three axes at the centroid.
extern int32_t showAxis;

// Opens the 400 x 400 double-buffered graphics window titled "Pointillist" at (0, 0), registers
// its display, reshape, mouse and motion handlers and finishes pointSet's pending load. GLUT
// must be initialised. Returns the GLUT window id.
int createGraphicsWindow();

// GLUT display callback of the graphics window. One frame: clear, axes when showAxis is set,
// points (all of them or, for a large cloud, a subset first: see FrameScheduler), swap.
void displayScene();
// GLUT reshape callback: viewport, projection, view distance and the initial camera, which
// discards any navigation.
void reshapeScene(int width, int height);
