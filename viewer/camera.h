// viewer/camera.h - the projection, where the camera starts, mouse navigation in the graphics
// window and the viewer's control callback.
#pragma once

#include "viewer/point_set.h"

#include <cstdint>

// The fixed projection. fieldOfViewX only frames the cloud (computeViewDistance);
// fieldOfViewY goes to gluPerspective, whose aspect ratio is always 1.0.
struct CameraSettings {
    float nearPlane;
    float farPlane;
    float fieldOfViewX;
    float fieldOfViewY;
};

extern const CameraSettings cameraSettings;

// The translation that centres the box on the viewing axis in x and y and puts its front face
// (max z) viewDistance in front of an eye at the origin looking along -z. Recomputed from the
// set whenever it is needed, never kept.
struct SceneOffset {
    float x, y, z;
};
SceneOffset sceneOffset(const PointSet& set);

constexpr int32_t DRAG_XY = 3;
constexpr int32_t DRAG_Z = 2;
constexpr int32_t MODE_TRANSLATE = 0;
constexpr int32_t MODE_ROTATE = 1;

// User ids of the viewer's controls.
constexpr int32_t ID_QUIT = 0;
constexpr int32_t ID_NAVIGATION_MODE = 1;
constexpr int32_t ID_RESET_VIEW = 3;
constexpr int32_t ID_SHOW_AXIS = 13;

// The navigation state. navigationMode: any non-zero value rotates. dragMode: any value but
// DRAG_Z acts in x and y. The last mouse position is in GLUT window coordinates. eyeOffset is
// the eye's position in scene units (it looks towards (x, y, -100)); rotation holds degrees
// about x, y and z through the centroid, never wrapped.
struct ViewState {
    int32_t navigationMode = MODE_TRANSLATE;
    int32_t dragMode = 0;
    int32_t lastMouseX = 0;
    int32_t lastMouseY = 0;
    float eyeOffset[3] = {};
    float rotation[3] = {};
};

extern ViewState viewState;

// GLUT mouse callback of the graphics window: every press and release records the position and
// returns to DRAG_XY; a right press selects DRAG_Z; a left press redisplays. The frame
// scheduler hears of every press and release first.
void mouseButton(int button, int state, int x, int y);
// GLUT motion callback: moves the camera by the pointer's movement since the last event.
void mouseMotion(int x, int y);
// Adds a (horizontal), b (vertical) and c (depth) pixel deltas to the eye offset or to the
// rotation, by navigationMode, and rebuilds the modelview matrix from the state.
void updateCamera(float a, float b, float c);
// The callback of the viewer's controls; only ID_RESET_VIEW has work to do.
void controlCallback(int32_t userId);
// Back to the initial view with the current viewDistance; the caller redisplays.
void resetView();
// Zeroes eyeOffset and rotation without touching the matrix.
void clearNavigation();
