// viewer/navigation.h - what the mouse and the wheel do to the camera in the graphics window.
#pragma once

#include "viewer/camera.h"

#include <cstdint>

constexpr int32_t DRAG_XY = 3;
constexpr int32_t DRAG_Z = 2;

// The pointer's side of navigation. dragMode: any value but DRAG_Z acts in x and y. The last
// mouse position is in GLUT window coordinates. The last left press and whether it became a
// drag: only a click (press and release without a drag) starts a double-click.
struct PointerState {
    int32_t dragMode = 0;
    int32_t lastMouseX = 0;
    int32_t lastMouseY = 0;
    int clickX = 0, clickY = 0;
    int pressTime = 0; // GLUT_ELAPSED_TIME of the last left press
    bool pressed = false;
    bool dragged = false;
    bool clicked = false; // the last left press was released as a click
};

// A press or release (GLUT's button and state) at (x, y) in the graphics window: records the
// position and returns to DRAG_XY; a right press selects DRAG_Z; a left press redisplays. A
// left press soon after a left click at the same place is a double-click, which picks the
// pivot under the pointer among the pickable points.
void mouseButton(PointerState& pointer, ViewState& view, const PointSet& set,
                 const std::vector<PointSegment>& pickable, int button, int state, int x, int y);
// Motion with a button held: moves the camera by the pointer's movement since the last event.
void mouseMotion(PointerState& pointer, ViewState& view, const PointSet& set, int x, int y);
// Each notch forward zooms in towards the pointer, backward out.
void mouseWheel(ViewState& view, const PointSet& set, int direction, int x, int y);
