// viewer/scene.h - the graphics window: its creation, reshape and each frame.
#pragma once

#include "viewer/camera.h"
#include "viewer/frame.h"
#include "viewer/point_set.h"

// Opens the 400 x 400 double-buffered graphics window titled "Pointillist" at (0, 0), registers
// its display, reshape, mouse, motion, wheel and keyboard handlers and finishes pointSet's
// pending load. GLUT must be initialised. Returns the GLUT window id.
int createGraphicsWindow();

// GLUT display callback of the graphics window. One frame of frameContent(): the points all of
// them or, for a large cloud, a subset first (see FrameScheduler), then swapped.
void displayScene();
// GLUT reshape callback: viewport, view distance and the initial camera, which discards any
// navigation, and the projection.
void reshapeScene(int width, int height);
