// viewer/camera.cpp - the view from the state, the moves, the pivot and framing.
#include "viewer/camera.h"

#include "viewer/matrices.h"
#include "viewer/picking.h"

#include <algorithm>
#include <cmath>

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

void projectionFor(const View& view, const PointSet& set, double projection[16]) {
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
    // Aspect 1.0 whatever the window's shape: a window that isn't square stretches the image.
    perspectiveMatrix(projection, cameraSettings.fieldOfViewY, 1.0, nearPlane, farPlane);
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
    projectionFor(view, set, view.projection);
    view.viewport[2] = state.width;
    view.viewport[3] = state.height;
    return view;
}

// --- Moves ---

void updateCamera(ViewState& state, float a, float b, float c) {
    float* eye = state.eyeOffset;
    float* angle = state.rotation;
    if (state.navigationMode == MODE_TRANSLATE) {
        const double speed = translateSpeed(state);
        eye[0] = accumulate(eye[0], a, speed);
        eye[1] = accumulate(eye[1], b, speed);
        eye[2] = accumulate(eye[2], c, speed);
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
    set.computeViewDistance(cameraSettings.fieldOfViewX);
    resetView(state, set);
}

void resetView(ViewState& state, const PointSet& set) {
    for (int axis = 0; axis < 3; ++axis) {
        state.eyeOffset[axis] = 0.0f;
        state.rotation[axis] = 0.0f;
        state.pivot[axis] = set.centroid[axis];
    }
    state.pivotPicked = false;
}

void changeSpeed(ViewState& state, int steps) {
    state.speedStep = std::clamp(state.speedStep + steps, -MAX_SPEED_STEPS, MAX_SPEED_STEPS);
}

double translateSpeed(const ViewState& state) {
    return std::ldexp(TRANSLATE_PER_PIXEL, state.speedStep);
}

// --- Zoom and pivot ---

void zoomAt(ViewState& state, const PointSet& set, int x, int y, int notches) {
    if (state.width <= 0 || state.height <= 0)
        return;
    // The direction through the pointer's pixel centre in eye coordinates, with depth 1: the
    // projection has aspect 1.0 whatever the window's shape.
    const double tanHalf = std::tan(cameraSettings.fieldOfViewY * M_PI / 360.0);
    const double ray[3] = {(2.0 * (x + 0.5) / state.width - 1.0) * tanHalf,
                           (1.0 - 2.0 * (y + 0.5) / state.height) * tanHalf, -1.0};
    // The pivot's depth does not depend on the rotation, which turns about it. Once the eye is
    // past it the steps keep their size rather than shrink to nothing.
    const SceneOffset offset = sceneOffset(set);
    double depth = std::abs(static_cast<double>(state.eyeOffset[2]) - state.pivot[2] - offset.z);
    depth = std::max(depth, set.viewDistance * 1e-6);
    const double fraction = std::min(ZOOM_PER_NOTCH * std::ldexp(1.0, state.speedStep), 0.9);
    // In and out by the same factor, so a notch each way returns to where it began.
    const double step = notches > 0 ? fraction : -fraction / (1.0 - fraction);
    const double move = depth * (1.0 - std::pow(1.0 - step, std::abs(notches)));
    for (int axis = 0; axis < 3; ++axis)
        state.eyeOffset[axis] = static_cast<float>(state.eyeOffset[axis] + move * ray[axis]);
}

bool pickPivot(ViewState& state, const PointSet& set, int x, int y) {
    const View view = viewOf(state, set);
    const double windowY = view.viewport[3] - 1 - y;
    const int64_t picked = nearestPointOnScreen(set.points, set.count, view, x + 0.5,
                                                windowY + 0.5, PICK_RADIUS, &set.visibility);
    if (picked < 0)
        return false;
    const PointRecord& point = set.points[picked];
    const float p[3] = {point.x, point.y, point.z};
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
    // with a 10 % margin, or the larger other extent, or 1.0.
    double extent = high[0] - low[0];
    if (extent == 0.0)
        extent = std::max(high[1] - low[1], high[2] - low[2]);
    if (extent == 0.0)
        extent = 1.0;
    const double distance =
        extent * 0.5 / std::tan(cameraSettings.fieldOfViewX * M_PI / 360.0) * 1.1;
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
