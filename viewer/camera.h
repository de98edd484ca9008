// viewer/camera.h - the view state, the view computed from it, and the moves and framing that
// change it.
#pragma once

#include "viewer/point_raster.h"
#include "viewer/point_set.h"
#include "viewer/view.h"

#include <cstdint>
#include <vector>

// The fixed projection. fieldOfViewY goes to the perspective, whose aspect ratio is the
// window's; framing fits the cloud's extent to fieldOfViewX across a square or wide window, and
// to the narrower width's field of view across a tall one.
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

constexpr int32_t MODE_TRANSLATE = 0;
constexpr int32_t MODE_ROTATE = 1;

// How far translate drags move. Fixed: 0.5 units a pixel, the native point file's rate. Follow:
// the point under the pointer at the pivot's depth stays under the pointer, and a right drag
// moves the eye by the same share of its distance to the pivot; so at any scale.
enum class PanMode { Fixed, Follow };

// What the view is computed from. navigationMode: any non-zero value rotates. eyeOffset is the
// eye's position in scene units (it always looks along -z); rotation holds degrees
// about x, y and z through the pivot, never wrapped. The pivot is the centroid until a
// double-click picks a point of the cloud. Translate-mode drags and the wheel go 2^speedStep
// times their start speed. width and height are the graphics window's, the viewport's size.
struct ViewState {
    int32_t navigationMode = MODE_TRANSLATE;
    PanMode panMode = PanMode::Fixed;
    float eyeOffset[3] = {};
    float rotation[3] = {};
    float pivot[3] = {};
    bool pivotPicked = false;
    int32_t speedStep = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The view of the set from the state: the modelview rebuilt from the offset, the eye, the pivot
// and the turn; the projection the window's aspect and the fixed planes, except that the near plane
// comes closer when the cloud's bounding sphere reaches nearer than it, and the far plane goes out
// past the sphere when that reaches beyond it; the viewport the whole window.
View viewOf(const ViewState& state, const PointSet& set);

// The functions below change the state alone; the caller redisplays.

// Adds a (horizontal), b (vertical) and c (depth) pixel deltas to the eye offset, at
// translateSpeed, or to the rotation, at 0.1 degrees a pixel, by navigationMode.
void updateCamera(ViewState& state, const PointSet& set, float a, float b, float c);
// A new window size: the viewport, the set's view distance for it and the initial view.
void reshapeView(ViewState& state, PointSet& set, int width, int height);
// Back to the initial view with the current viewDistance, turning about the centroid again. The
// initial view looks along -z with y up, except for an organised cloud (a depth camera's),
// which it looks at along the sensor's view (see sensorViewRotation), framed as frameCloud does.
void resetView(ViewState& state, const PointSet& set);
// Moves the eye along the line through the pointer (GLUT window coordinates) by about 10 % of
// the pivot's depth per notch (positive: in), so whatever lies under the pointer stays there.
void zoomAt(ViewState& state, const PointSet& set, int x, int y, int notches);
// Makes the point drawn nearest to the pointer on screen, within PICK_RADIUS pixels, of the runs
// of the set's points given (the shown ones), the pivot, its position into picked when not null;
// returns false and keeps the pivot when there is none.
constexpr double PICK_RADIUS = 5.0;
bool pickPivot(ViewState& state, const PointSet& set, const std::vector<PointSegment>& points,
               int x, int y, float picked[3] = nullptr);
// Turns about p (scene coordinates) from now on; the picture does not move.
void setPivot(ViewState& state, const PointSet& set, const float p[3]);
// Moves the eye so that the whole cloud is in view as at the start, keeping the rotation.
void frameCloud(ViewState& state, const PointSet& set);
// Looks at the cloud along an axis, z up except from above and below, and frames it.
enum class StandardView { Front, Back, Left, Right, Top, Bottom };
void showStandardView(ViewState& state, const PointSet& set, StandardView view);
// Halves (-1) or doubles (+1) the speed of translate drags and of the wheel.
void changeSpeed(ViewState& state, int steps);
// Units a translate drag moves per pixel, now: by panMode, times 2^speedStep.
double translateSpeed(const ViewState& state, const PointSet& set);
// The pan mode a cloud starts with: Fixed for the native point file, whose drags have always
// moved 0.5 units a pixel, Follow for every other format.
PanMode startPanMode(const PointSet& set);
const char* panModeName(PanMode mode);
bool panModeFromName(const char* name, PanMode* mode);
