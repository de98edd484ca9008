// viewer/camera.cpp - navigation: the drag state, the wheel, the pivot, framing and the
// matrices built from them.
#include "viewer/camera.h"

#include "viewer/frame_scheduler.h"
#include "viewer/picking.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

const CameraSettings cameraSettings = {0.1f, 10000.0f, kFramingFieldOfViewX, 60.0f};

ViewState viewState;

namespace {

constexpr double TRANSLATE_PER_PIXEL = 0.5;
constexpr double DEGREES_PER_PIXEL = 0.1;
constexpr double ZOOM_PER_NOTCH = 0.1;
constexpr int MAX_SPEED_STEPS = 30;
// A second press counts as a double-click within this time and distance of a click.
constexpr int DOUBLE_CLICK_MS = 400;
constexpr int DOUBLE_CLICK_PIXELS = 4;

// The last left press, and whether it became a drag: only a click starts a double-click.
struct ClickState {
    int x = 0, y = 0;
    int pressTime = 0;
    bool pressed = false;
    bool dragged = false;
    bool clicked = false; // the last left press was released as a click
};
ClickState click;

float accumulate(float value, float delta, double scale) {
    return static_cast<float>(static_cast<double>(delta) * scale + value);
}

void currentView(ViewTransform* view) {
    glGetDoublev(GL_MODELVIEW_MATRIX, view->modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, view->projection);
    glGetIntegerv(GL_VIEWPORT, view->viewport);
}

// Rotation part of the modelview, which is translations around the rotation: row, column.
double rotationAt(const double modelview[16], int row, int column) {
    return modelview[column * 4 + row];
}

// Eye coordinates of a scene point under the current modelview.
void toEye(const double modelview[16], const double p[3], double eye[3]) {
    for (int row = 0; row < 3; ++row)
        eye[row] = modelview[12 + row] + rotationAt(modelview, row, 0) * p[0] +
                   rotationAt(modelview, row, 1) * p[1] + rotationAt(modelview, row, 2) * p[2];
}

// The modelview from the state, rebuilt each time rather than multiplied onto the last matrix,
// so rounding never accumulates in the matrix.
void buildModelview() {
    const float* eye = viewState.eyeOffset;
    const float* angle = viewState.rotation;
    const float* pivot = viewState.pivot;
    const SceneOffset offset = sceneOffset(pointSet);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Always along -z: a fixed target at z = -100 would turn the view round (and make it
    // undefined at the target) once the eye moved past it.
    gluLookAt(eye[0], eye[1], eye[2], eye[0], eye[1], eye[2] - 100.0, 0.0, 1.0, 0.0);
    glTranslatef(offset.x, offset.y, offset.z);
    glTranslatef(pivot[0], pivot[1], pivot[2]);
    glRotatef(angle[0], 1.0f, 0.0f, 0.0f);
    glRotatef(angle[1], 0.0f, 1.0f, 0.0f);
    glRotatef(angle[2], 0.0f, 0.0f, 1.0f);
    glTranslatef(-pivot[0], -pivot[1], -pivot[2]);
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

// --- Drags ---

void mouseButton(int button, int state, int x, int y) {
    frameScheduler.buttonChanged(button, state);
    viewState.lastMouseX = x;
    viewState.lastMouseY = y;
    viewState.dragMode = DRAG_XY;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
        const int pressTime = glutGet(GLUT_ELAPSED_TIME);
        const bool twice = click.clicked && pressTime - click.pressTime <= DOUBLE_CLICK_MS &&
                           std::abs(x - click.x) <= DOUBLE_CLICK_PIXELS &&
                           std::abs(y - click.y) <= DOUBLE_CLICK_PIXELS;
        click = ClickState{x, y, pressTime, true, false, false};
        // A third press starts afresh rather than making a second double-click.
        if (twice) {
            click.pressed = false;
            pickPivot(x, y);
        }
        glutPostRedisplay();
    } else if (button == GLUT_LEFT_BUTTON && state == GLUT_UP) {
        click.clicked = click.pressed && !click.dragged;
        click.pressed = false;
    } else if (button == GLUT_RIGHT_BUTTON && state == GLUT_DOWN) {
        viewState.dragMode = DRAG_Z;
        click.clicked = click.pressed = false;
    }
}

void mouseMotion(int x, int y) {
    if (std::abs(x - click.x) > DOUBLE_CLICK_PIXELS || std::abs(y - click.y) > DOUBLE_CLICK_PIXELS)
        click.dragged = true;
    const int dx = x - viewState.lastMouseX;
    const int dy = y - viewState.lastMouseY;
    // Window y grows downwards, so dy is passed as is to move the cloud with the pointer.
    if (viewState.dragMode == DRAG_Z)
        updateCamera(0.0f, 0.0f, static_cast<float>(-dy));
    else
        updateCamera(static_cast<float>(-dx), static_cast<float>(dy), 0.0f);
    viewState.lastMouseX = x;
    viewState.lastMouseY = y;
    glutPostRedisplay();
}

void updateCamera(float a, float b, float c) {
    float* eye = viewState.eyeOffset;
    float* angle = viewState.rotation;
    if (viewState.navigationMode == MODE_TRANSLATE) {
        const double speed = translateSpeed();
        eye[0] = accumulate(eye[0], a, speed);
        eye[1] = accumulate(eye[1], b, speed);
        eye[2] = accumulate(eye[2], c, speed);
    } else {
        // Vertical movement turns about x, horizontal about y.
        angle[0] = accumulate(angle[0], b, DEGREES_PER_PIXEL);
        angle[1] = accumulate(angle[1], a, DEGREES_PER_PIXEL);
        angle[2] = accumulate(angle[2], c, DEGREES_PER_PIXEL);
    }
    buildModelview();
}

void controlCallback(int32_t userId) {
    // The radio group and the check box have already written their live variables and asked
    // for a redisplay by the time they call back.
    if (userId == ID_RESET_VIEW)
        resetView();
}

void resetView() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    clearNavigation();
    const SceneOffset offset = sceneOffset(pointSet);
    glTranslatef(offset.x, offset.y, offset.z);
}

void clearNavigation() {
    for (int axis = 0; axis < 3; ++axis) {
        viewState.eyeOffset[axis] = 0.0f;
        viewState.rotation[axis] = 0.0f;
        viewState.pivot[axis] = pointSet.centroid[axis];
    }
    viewState.pivotPicked = false;
}

void changeSpeed(int steps) {
    viewState.speedStep =
        std::clamp(viewState.speedStep + steps, -MAX_SPEED_STEPS, MAX_SPEED_STEPS);
}

double translateSpeed() {
    return std::ldexp(TRANSLATE_PER_PIXEL, viewState.speedStep);
}

// --- Wheel and pivot ---

void mouseWheel(int, int direction, int x, int y) {
    zoomAt(x, y, direction > 0 ? 1 : -1);
    glutPostRedisplay();
}

void zoomAt(int x, int y, int notches) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return;
    // The direction through the pointer's pixel centre in eye coordinates, with depth 1: the
    // projection has aspect 1.0 whatever the window's shape.
    const double tanHalf = std::tan(cameraSettings.fieldOfViewY * M_PI / 360.0);
    const double ray[3] = {(2.0 * (x + 0.5) / viewport[2] - 1.0) * tanHalf,
                           (1.0 - 2.0 * (y + 0.5) / viewport[3]) * tanHalf, -1.0};
    // The pivot's depth does not depend on the rotation, which turns about it. Once the eye is
    // past it the steps keep their size rather than shrink to nothing.
    const SceneOffset offset = sceneOffset(pointSet);
    double depth =
        std::abs(static_cast<double>(viewState.eyeOffset[2]) - viewState.pivot[2] - offset.z);
    depth = std::max(depth, pointSet.viewDistance * 1e-6);
    const double fraction = std::min(ZOOM_PER_NOTCH * std::ldexp(1.0, viewState.speedStep), 0.9);
    // In and out by the same factor, so a notch each way returns to where it began.
    const double step = notches > 0 ? fraction : -fraction / (1.0 - fraction);
    const double move = depth * (1.0 - std::pow(1.0 - step, std::abs(notches)));
    for (int axis = 0; axis < 3; ++axis)
        viewState.eyeOffset[axis] =
            static_cast<float>(viewState.eyeOffset[axis] + move * ray[axis]);
    buildModelview();
}

bool pickPivot(int x, int y) {
    ViewTransform view;
    currentView(&view);
    const double windowY = view.viewport[3] - 1 - y;
    const int64_t picked = nearestPointOnScreen(pointSet.points, pointSet.count, view, x + 0.5,
                                                windowY + 0.5, PICK_RADIUS);
    if (picked < 0)
        return false;
    const PointRecord& point = pointSet.points[picked];
    const float p[3] = {point.x, point.y, point.z};
    setPivot(p);
    viewState.pivotPicked = true;
    return true;
}

void setPivot(const float p[3]) {
    // Turning about p instead of the old pivot c moves the picture by (I - R)(p - c); the eye
    // moves the same way so that nothing jumps.
    double modelview[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    double shift[3];
    for (int row = 0; row < 3; ++row) {
        shift[row] = 0.0;
        for (int column = 0; column < 3; ++column) {
            const double identity = row == column ? 1.0 : 0.0;
            shift[row] += (identity - rotationAt(modelview, row, column)) *
                          (static_cast<double>(p[column]) - viewState.pivot[column]);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        viewState.eyeOffset[axis] = static_cast<float>(viewState.eyeOffset[axis] + shift[axis]);
        viewState.pivot[axis] = p[axis];
    }
    buildModelview();
}

// --- Framing and standard views ---

void frameCloud() {
    buildModelview();
    double modelview[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    // The box's corners as the eye sees them now; moving the eye moves them all alike.
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {(corner & 1 ? pointSet.farCorner : pointSet.nearCorner)[0],
                             (corner & 2 ? pointSet.farCorner : pointSet.nearCorner)[1],
                             (corner & 4 ? pointSet.farCorner : pointSet.nearCorner)[2]};
        double eye[3];
        toEye(modelview, p, eye);
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
        viewState.eyeOffset[axis] = static_cast<float>(viewState.eyeOffset[axis] + move[axis]);
    buildModelview();
}

void showStandardView(StandardView view) {
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
        viewState.rotation[axis] = angles[static_cast<int>(view)][axis];
    frameCloud();
}

// --- Projection ---

void applyProjection() {
    double modelview[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    double centre[3], radius = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double low = std::min(pointSet.nearCorner[axis], pointSet.farCorner[axis]);
        const double high = std::max(pointSet.nearCorner[axis], pointSet.farCorner[axis]);
        centre[axis] = (low + high) * 0.5;
        radius += (high - low) * (high - low) * 0.25;
    }
    radius = std::sqrt(radius);
    double eye[3];
    toEye(modelview, centre, eye);
    const double distance = std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]);
    // No depth buffer: the planes only clip, so moving them costs no precision.
    double nearPlane = cameraSettings.nearPlane;
    if (distance - radius < nearPlane) {
        const double floor = std::max(radius, static_cast<double>(pointSet.viewDistance)) * 1e-6;
        nearPlane = std::max((distance - radius) * 0.1, floor);
    }
    double farPlane = cameraSettings.farPlane;
    if (distance + radius > farPlane)
        farPlane = (distance + radius) * 1.1;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Aspect 1.0 whatever the window's shape: a window that isn't square stretches the image.
    gluPerspective(cameraSettings.fieldOfViewY, 1.0, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
}
