// viewer/camera.cpp - mouse navigation: the drag state and the modelview matrix built from it.
#include "viewer/camera.h"

#include "viewer/frame_scheduler.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

const CameraSettings cameraSettings = {0.1f, 10000.0f, kFramingFieldOfViewX, 60.0f};

ViewState viewState;

namespace {

constexpr double TRANSLATE_PER_PIXEL = 0.5;
constexpr double DEGREES_PER_PIXEL = 0.1;

float accumulate(float value, float delta, double scale) {
    return static_cast<float>(static_cast<double>(delta) * scale + value);
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

void mouseButton(int button, int state, int x, int y) {
    frameScheduler.buttonChanged(button, state);
    viewState.lastMouseX = x;
    viewState.lastMouseY = y;
    viewState.dragMode = DRAG_XY;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN)
        glutPostRedisplay();
    else if (button == GLUT_RIGHT_BUTTON && state == GLUT_DOWN)
        viewState.dragMode = DRAG_Z;
}

void mouseMotion(int x, int y) {
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
        eye[0] = accumulate(eye[0], a, TRANSLATE_PER_PIXEL);
        eye[1] = accumulate(eye[1], b, TRANSLATE_PER_PIXEL);
        eye[2] = accumulate(eye[2], c, TRANSLATE_PER_PIXEL);
    } else {
        // Vertical movement turns about x, horizontal about y.
        angle[0] = accumulate(angle[0], b, DEGREES_PER_PIXEL);
        angle[1] = accumulate(angle[1], a, DEGREES_PER_PIXEL);
        angle[2] = accumulate(angle[2], c, DEGREES_PER_PIXEL);
    }

    // Rebuilt from the state each time rather than multiplied onto the last matrix, so rounding
    // never accumulates in the matrix.
    const SceneOffset offset = sceneOffset(pointSet);
    const float* centroid = pointSet.centroid;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], eye[0], eye[1], -100.0, 0.0, 1.0, 0.0);
    glTranslatef(offset.x, offset.y, offset.z);
    glTranslatef(centroid[0], centroid[1], centroid[2]);
    glRotatef(angle[0], 1.0f, 0.0f, 0.0f);
    glRotatef(angle[1], 0.0f, 1.0f, 0.0f);
    glRotatef(angle[2], 0.0f, 0.0f, 1.0f);
    glTranslatef(-centroid[0], -centroid[1], -centroid[2]);
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
    }
}
