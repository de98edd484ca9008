// viewer/scene.cpp - the graphics window: its creation and its GLUT callbacks.
#include "viewer/scene.h"

#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/level_of_detail.h"
#include "viewer/point_marks.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

int openGraphicsWindow(int width, int height) {
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowPosition(GRAPHICS_WINDOW_X, GRAPHICS_WINDOW_Y);
    glutInitWindowSize(width, height);
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
    viewer.frameScheduler.renderer.chooseForCurrentContext();
    viewer.frameScheduler.prepare();
    return window;
}

int createGraphicsWindow(int width, int height) {
    const int window = openGraphicsWindow(width, height);
    viewer.pointSet.finishLoad();
    return window;
}

void warmUpGraphicsWindow() {
    const bool large =
        viewer.copcLod ? viewer.copcLod->declaredPoints() >= kSoftwareFrameMinimum
        : viewer.sceneLod
            ? viewer.sceneLod->declaredPoints() + viewer.pointSet.count >= kSoftwareFrameMinimum
        : viewer.pointSet.pending ? viewer.pointSet.pending->waitForRecords(kSoftwareFrameMinimum)
                                  : viewer.pointSet.count >= kSoftwareFrameMinimum;
    if (large)
        viewer.frameScheduler.renderer.warmUp(static_cast<float>(viewer.displaySettings.pointSize),
                                              kSoftwareFrameMinimum);
}

void displayScene() {
    viewer.frameScheduler.display(frameContent());
    afterFrame();
}

void reshapeScene(int width, int height) {
    reshapeView(viewer.viewState, viewer.pointSet, width, height);
}

void graphicsMouse(int button, int state, int x, int y) {
    viewer.frameScheduler.buttonChanged(button, state);
    markDoubleClick(mouseButton(viewer.pointer, viewer.viewState, viewer.pointSet, pickablePoints(),
                                button, state, x, y));
}

void graphicsMotion(int x, int y) {
    mouseMotion(viewer.pointer, viewer.viewState, viewer.pointSet, x, y);
}

void graphicsWheel(int, int direction, int x, int y) {
    mouseWheel(viewer.viewState, viewer.pointSet, direction, x, y);
}
