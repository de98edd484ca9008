// viewer/scene.cpp - graphics window creation, reshape and display.
#include "viewer/scene.h"

#include "viewer/camera.h"
#include "viewer/display_settings.h"
#include "viewer/frame.h"
#include "viewer/frame_scheduler.h"
#include "viewer/keys.h"
#include "viewer/navigation.h"
#include "viewer/point_set.h"

#include <GL/freeglut.h>

int openGraphicsWindow() {
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(400, 400);
    const int window = glutCreateWindow("Pointillist");
    glutDisplayFunc(displayScene);
    glutReshapeFunc(reshapeScene);
    glutMouseFunc(graphicsMouse);
    glutMotionFunc(graphicsMotion);
    // With a wheel callback freeglut no longer reports the wheel as buttons 3 and 4, which
    // would end a right drag's DRAG_Z.
    glutMouseWheelFunc(graphicsWheel);
    glutKeyboardFunc(graphicsKey);

    // The new window's context is current: the path of large frames depends on its renderer.
    // The points are drawn from their records as they are, so the first frame follows the
    // end of the read at once.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    frameScheduler.renderer.chooseForCurrentContext();
    frameScheduler.prepare();
    return window;
}

int createGraphicsWindow() {
    const int window = openGraphicsWindow();
    pointSet.finishLoad();
    return window;
}

void warmUpGraphicsWindow() {
    const bool large = pointSet.pending ? pointSet.pending->waitForRecords(kSoftwareFrameMinimum)
                                        : pointSet.count >= kSoftwareFrameMinimum;
    if (large)
        frameScheduler.renderer.warmUp(static_cast<float>(displaySettings.pointSize),
                                       kSoftwareFrameMinimum);
}

void displayScene() {
    frameScheduler.display(frameContent());
}

void reshapeScene(int width, int height) {
    reshapeView(viewState, pointSet, width, height);
}

void graphicsMouse(int button, int state, int x, int y) {
    frameScheduler.buttonChanged(button, state);
    mouseButton(pointerState, viewState, pointSet, button, state, x, y);
}

void graphicsMotion(int x, int y) {
    mouseMotion(pointerState, viewState, x, y);
}

void graphicsWheel(int, int direction, int x, int y) {
    mouseWheel(viewState, pointSet, direction, x, y);
}
