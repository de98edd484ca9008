// viewer/scene.h - the graphics window: its creation and its GLUT callbacks.
#pragma once

// Where the graphics window opens, and the gap right of it where the control window goes (room
// for a window manager's border).
constexpr int GRAPHICS_WINDOW_X = 0;
constexpr int GRAPHICS_WINDOW_Y = 0;
constexpr int CONTROL_WINDOW_GAP = 10;

// Opens the double-buffered graphics window titled "Pointillist" at GRAPHICS_WINDOW_X and _Y,
// width x height pixels, and registers its display, reshape, mouse, motion, wheel and keyboard
// handlers; the points are not needed yet, so that viewer.pointSet's pending load may go on
// meanwhile. GLUT must be initialised. Returns the GLUT window id.
int openGraphicsWindow(int width = 400, int height = 400);
// openGraphicsWindow, then finishes viewer.pointSet's pending load.
int createGraphicsWindow(int width = 400, int height = 400);
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
