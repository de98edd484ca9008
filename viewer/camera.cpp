// viewer/camera.cpp - the view from the state, the moves, the pivot and framing.
#include "viewer/camera.h"

#include "viewer/matrices.h"
#include "viewer/picking.h"
#include "viewer/sensor_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const CameraSettings cameraSettings = {0.1f, 10000.0f, kFramingFieldOfViewX, 60.0f};

namespace {

constexpr double TRANSLATE_PER_PIXEL = 0.5;
constexpr double DEGREES_PER_PIXEL = 0.1;
constexpr double ZOOM_PER_NOTCH = 0.1;
constexpr int MAX_SPEED_STEPS = 30;

float accumulate(float value, float delta, double scale) {
    return static_cast<float>(static_cast<double>(delta) * scale + value);
}

// Rotation part of the modelview, which is translations around the rotation: row, column.
double rotationAt(const double modelview[16], int row, int column) {
    return modelview[column * 4 + row];
}

// The modelview from the state, rebuilt each time rather than multiplied onto the last matrix,
// so rounding never accumulates in the matrix. The steps are those GL took when it built the
// matrix, in double. The eye always looks along -z with y up (a fixed target would turn the view
// round once the eye moved past it), which leaves only its translation.
void modelviewOf(const ViewState& state, const PointSet& set, double m[16]) {
    const float* eye = state.eyeOffset;
    const float* angle = state.rotation;
    const float* pivot = state.pivot;
    const SceneOffset offset = sceneOffset(set);
    identityMatrix(m);
    translateMatrix(m, -eye[0], -eye[1], -eye[2]);
    translateMatrix(m, offset.x, offset.y, offset.z);
    translateMatrix(m, pivot[0], pivot[1], pivot[2]);
    for (int axis = 0; axis < 3; ++axis)
        rotateMatrix(m, angle[axis], axis);
    translateMatrix(m, -pivot[0], -pivot[1], -pivot[2]);
}

// The window's width over its height; 1.0 before it has a size.
double aspectOf(const ViewState& state) {
    return state.width > 0 && state.height > 0 ? static_cast<double>(state.width) / state.height
                                               : 1.0;
}

// tan of half the field of view across the window's narrower side, which framing fits the
// cloud's extent into. A square window or a wide one keeps the vertical field of view.
double framingTangent(const ViewState& state) {
    const double aspect = aspectOf(state);
    if (aspect >= 1.0)
        return std::tan(cameraSettings.fieldOfViewX * M_PI / 360.0);
    return std::tan(cameraSettings.fieldOfViewY * M_PI / 360.0) * aspect;
}

// The pivot in eye coordinates, which do not depend on the rotation: it turns about the pivot.
void pivotInEye(const ViewState& state, const PointSet& set, double eye[3]) {
    const SceneOffset offset = sceneOffset(set);
    const float shift[3] = {offset.x, offset.y, offset.z};
    for (int axis = 0; axis < 3; ++axis)
        eye[axis] = -(static_cast<double>(state.eyeOffset[axis]) - state.pivot[axis] - shift[axis]);
}

// How far in front of the eye the pivot lies, and how far from it. Once the eye is past the
// pivot, moves keep a size rather than shrink to nothing.
double pivotDepth(const ViewState& state, const PointSet& set) {
    double eye[3];
    pivotInEye(state, set, eye);
    return std::max(std::abs(eye[2]), set.viewDistance * 1e-6);
}
double pivotDistance(const ViewState& state, const PointSet& set) {
    double eye[3];
    pivotInEye(state, set, eye);
    return std::max(std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]),
                    set.viewDistance * 1e-6);
}

void projectionFor(const View& view, const ViewState& state, const PointSet& set,
                   double projection[16]) {
    double centre[3], radius = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double low = std::min(set.nearCorner[axis], set.farCorner[axis]);
        const double high = std::max(set.nearCorner[axis], set.farCorner[axis]);
        centre[axis] = (low + high) * 0.5;
        radius += (high - low) * (high - low) * 0.25;
    }
    radius = std::sqrt(radius);
    double eye[3];
    view.toEye(centre, eye);
    const double distance = std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]);
    // No depth buffer: the planes only clip, so moving them costs no precision.
    double nearPlane = cameraSettings.nearPlane;
    if (distance - radius < nearPlane) {
        const double floor = std::max(radius, static_cast<double>(set.viewDistance)) * 1e-6;
        nearPlane = std::max((distance - radius) * 0.1, floor);
    }
    double farPlane = cameraSettings.farPlane;
    if (distance + radius > farPlane)
        farPlane = (distance + radius) * 1.1;
    identityMatrix(projection);
    perspectiveMatrix(projection, cameraSettings.fieldOfViewY, aspectOf(state), nearPlane,
                      farPlane);
}

} // namespace

SceneOffset sceneOffset(const PointSet& set) {
    SceneOffset offset;
    offset.x =
        static_cast<float>((static_cast<double>(set.nearCorner[0]) + set.farCorner[0]) * -0.5);
    offset.y =
        static_cast<float>((static_cast<double>(set.nearCorner[1]) + set.farCorner[1]) * -0.5);
    offset.z = static_cast<float>(-(static_cast<double>(set.nearCorner[2]) + set.viewDistance));
    return offset;
}

View viewOf(const ViewState& state, const PointSet& set) {
    View view;
    modelviewOf(state, set, view.modelview);
    projectionFor(view, state, set, view.projection);
    view.viewport[2] = state.width;
    view.viewport[3] = state.height;
    return view;
}

// --- Moves ---

void updateCamera(ViewState& state, const PointSet& set, float a, float b, float c) {
    float* eye = state.eyeOffset;
    float* angle = state.rotation;
    if (state.navigationMode == MODE_TRANSLATE) {
        const double speed = translateSpeed(state, set);
        // Following, a pixel of c moves the eye by the share of its distance to the pivot that a
        // pixel of a or b moves it of the pivot's depth.
        const double depthSpeed = state.panMode == PanMode::Follow
                                      ? speed * pivotDistance(state, set) / pivotDepth(state, set)
                                      : speed;
        eye[0] = accumulate(eye[0], a, speed);
        eye[1] = accumulate(eye[1], b, speed);
        eye[2] = accumulate(eye[2], c, depthSpeed);
    } else {
        // Vertical movement turns about x, horizontal about y.
        angle[0] = accumulate(angle[0], b, DEGREES_PER_PIXEL);
        angle[1] = accumulate(angle[1], a, DEGREES_PER_PIXEL);
        angle[2] = accumulate(angle[2], c, DEGREES_PER_PIXEL);
    }
}

void reshapeView(ViewState& state, PointSet& set, int width, int height) {
    state.width = width;
    state.height = height;
    // A square or wide window frames as it always has; a tall one by its narrower width.
    const double aspect = aspectOf(state);
    const float fieldOfView =
        aspect >= 1.0 ? cameraSettings.fieldOfViewX
                      : static_cast<float>(std::atan(framingTangent(state)) * 360.0 / M_PI);
    set.computeViewDistance(fieldOfView);
    resetView(state, set);
}

void resetView(ViewState& state, const PointSet& set) {
    for (int axis = 0; axis < 3; ++axis) {
        state.eyeOffset[axis] = 0.0f;
        state.rotation[axis] = 0.0f;
        state.pivot[axis] = set.centroid[axis];
    }
    state.pivotPicked = false;
    // A depth camera's cloud is seen as the camera saw it, framed from behind it.
    if (set.organised) {
        sensorViewRotation(set.viewpoint, state.rotation);
        frameCloud(state, set);
    }
}

void changeSpeed(ViewState& state, int steps) {
    state.speedStep = std::clamp(state.speedStep + steps, -MAX_SPEED_STEPS, MAX_SPEED_STEPS);
}

double translateSpeed(const ViewState& state, const PointSet& set) {
    if (state.panMode == PanMode::Fixed || state.height <= 0)
        return std::ldexp(TRANSLATE_PER_PIXEL, state.speedStep);
    // A pixel's height at the pivot's depth; pixels are square.
    const double tanHalf = std::tan(cameraSettings.fieldOfViewY * M_PI / 360.0);
    const double pixel = 2.0 * pivotDepth(state, set) * tanHalf / state.height;
    return std::ldexp(pixel, state.speedStep);
}

PanMode startPanMode(const PointSet& set) {
    return set.format == Format::Native ? PanMode::Fixed : PanMode::Follow;
}

const char* panModeName(PanMode mode) {
    return mode == PanMode::Follow ? "follow" : "fixed";
}

bool panModeFromName(const char* name, PanMode* mode) {
    for (PanMode candidate : {PanMode::Fixed, PanMode::Follow}) {
        if (std::strcmp(name, panModeName(candidate)) == 0) {
            *mode = candidate;
            return true;
        }
    }
    return false;
}

// --- Zoom and pivot ---

void zoomAt(ViewState& state, const PointSet& set, int x, int y, int notches) {
    if (state.width <= 0 || state.height <= 0)
        return;
    // The direction through the pointer's pixel centre in eye coordinates, with depth 1.
    const double tanHalf = std::tan(cameraSettings.fieldOfViewY * M_PI / 360.0);
    const double ray[3] = {(2.0 * (x + 0.5) / state.width - 1.0) * tanHalf * aspectOf(state),
                           (1.0 - 2.0 * (y + 0.5) / state.height) * tanHalf, -1.0};
    const double depth = pivotDepth(state, set);
    const double fraction = std::min(ZOOM_PER_NOTCH * std::ldexp(1.0, state.speedStep), 0.9);
    // In and out by the same factor, so a notch each way returns to where it began.
    const double step = notches > 0 ? fraction : -fraction / (1.0 - fraction);
    const double move = depth * (1.0 - std::pow(1.0 - step, std::abs(notches)));
    for (int axis = 0; axis < 3; ++axis)
        state.eyeOffset[axis] = static_cast<float>(state.eyeOffset[axis] + move * ray[axis]);
}

bool pickPivot(ViewState& state, const PointSet& set, const std::vector<PointSegment>& points,
               int x, int y) {
    const View view = viewOf(state, set);
    const double windowY = view.viewport[3] - 1 - y;
    float p[3];
    if (!nearestPointOnScreen(points.data(), points.size(), view, x + 0.5, windowY + 0.5,
                              PICK_RADIUS, p))
        return false;
    setPivot(state, set, p);
    state.pivotPicked = true;
    return true;
}

void setPivot(ViewState& state, const PointSet& set, const float p[3]) {
    // Turning about p instead of the old pivot c moves the picture by (I - R)(p - c); the eye
    // moves the same way so that nothing jumps.
    double modelview[16];
    modelviewOf(state, set, modelview);
    double shift[3];
    for (int row = 0; row < 3; ++row) {
        shift[row] = 0.0;
        for (int column = 0; column < 3; ++column) {
            const double identity = row == column ? 1.0 : 0.0;
            shift[row] += (identity - rotationAt(modelview, row, column)) *
                          (static_cast<double>(p[column]) - state.pivot[column]);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        state.eyeOffset[axis] = static_cast<float>(state.eyeOffset[axis] + shift[axis]);
        state.pivot[axis] = p[axis];
    }
}

// --- Framing and standard views ---

void frameCloud(ViewState& state, const PointSet& set) {
    View view;
    modelviewOf(state, set, view.modelview);
    // The box's corners as the eye sees them now; moving the eye moves them all alike.
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {(corner & 1 ? set.farCorner : set.nearCorner)[0],
                             (corner & 2 ? set.farCorner : set.nearCorner)[1],
                             (corner & 4 ? set.farCorner : set.nearCorner)[2]};
        double eye[3];
        view.toEye(p, eye);
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], eye[axis]);
            high[axis] = std::max(high[axis], eye[axis]);
        }
    }
    // The start view's framing applied to the box as seen: the width fills the field of view
    // across the window's narrower side with a 10 % margin, or the larger other extent, or 1.0.
    double extent = high[0] - low[0];
    if (extent == 0.0)
        extent = std::max(high[1] - low[1], high[2] - low[2]);
    if (extent == 0.0)
        extent = 1.0;
    const double distance = extent * 0.5 / framingTangent(state) * 1.1;
    const double move[3] = {(low[0] + high[0]) * 0.5, (low[1] + high[1]) * 0.5, high[2] + distance};
    for (int axis = 0; axis < 3; ++axis)
        state.eyeOffset[axis] = static_cast<float>(state.eyeOffset[axis] + move[axis]);
}

void showStandardView(ViewState& state, const PointSet& set, StandardView view) {
    // Degrees about x, y and z (z turns first). From above is the start view; the side views
    // stand z up on the screen by turning -90 about x after the turn about z.
    static const float angles[6][3] = {
        {-90, 0, 0},   // front: from -y
        {-90, 0, 180}, // back: from +y
        {-90, 0, 90},  // left: from -x
        {-90, 0, -90}, // right: from +x
        {0, 0, 0},     // top: from +z
        {180, 0, 0},   // bottom: from -z
    };
    for (int axis = 0; axis < 3; ++axis)
        state.rotation[axis] = angles[static_cast<int>(view)][axis];
    frameCloud(state, set);
}
