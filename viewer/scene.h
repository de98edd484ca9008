// viewer/scene.h - the graphics window: projection, initial camera placement and each frame.
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

// Non-zero to draw the three axes at the centroid.
extern int32_t showAxis;

// The translation that centres the box on the viewing axis in x and y and puts its front face
// (max z) viewDistance in front of an eye at the origin looking along -z. Recomputed from the
// set whenever it is needed, never kept.
struct SceneOffset {
    float x, y, z;
};
SceneOffset sceneOffset(const PointSet& set);

// Opens the 400 x 400 double-buffered graphics window titled "Pointillist" at (0, 0), registers
// its display, reshape, mouse and motion handlers and compiles pointSet's display list in its
// context. GLUT must be initialised. Returns the GLUT window id.
int createGraphicsWindow();

// GLUT display callback of the graphics window.
void displayScene();
// GLUT reshape callback: viewport, projection, view distance and the initial camera, which
// discards any navigation.
void reshapeScene(int width, int height);
