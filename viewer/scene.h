// viewer/scene.h - the graphics window: its creation and its GLUT callbacks.
#pragma once

// Opens the 400 x 400 double-buffered graphics window titled "Pointillist" at (0, 0) and
// registers its display, reshape, mouse, motion, wheel and keyboard handlers; the points are
// not needed yet, so that viewer.pointSet's pending load may go on meanwhile. GLUT must be
// initialised. Returns the GLUT window id.
int openGraphicsWindow();
// openGraphicsWindow, then finishes viewer.pointSet's pending load.
int createGraphicsWindow();
// With the graphics window current, while viewer.pointSet's load goes on: waits until the read
// shows whether the cloud is large enough for the software path (or has ended), and if so takes
// that path's first steps now rather than in the first frame (see PointRenderer::warmUp).
void warmUpGraphicsWindow();

// GLUT display callback of the graphics window. One frame of frameContent(): the points all of
// them or, for a large cloud, a subset first (see FrameScheduler), then swapped.
void displayScene();
// GLUT reshape callback: viewport, view distance and the initial camera, which discards any
// navigation.
void reshapeScene(int width, int height);
// GLUT mouse callback: the frame scheduler hears of every press and release first (see
// FrameScheduler::buttonChanged), then navigation (mouseButton).
void graphicsMouse(int button, int state, int x, int y);
// GLUT motion and wheel callbacks: navigation's mouseMotion and mouseWheel.
void graphicsMotion(int x, int y);
void graphicsWheel(int wheel, int direction, int x, int y);
