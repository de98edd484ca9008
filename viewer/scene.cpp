// viewer/scene.cpp - graphics window creation, reshape and display.
#include "viewer/scene.h"

#include "viewer/frame_scheduler.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

int32_t showAxis = 0;

int createGraphicsWindow() {
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(400, 400);
    const int window = glutCreateWindow("Pointillist");
    glutDisplayFunc(displayScene);
    glutReshapeFunc(reshapeScene);
    glutMouseFunc(mouseButton);
    glutMotionFunc(mouseMotion);

    // The new window's context is current: the path of large frames depends on its renderer.
    // The points are drawn from their records as they are, so the first frame follows the
    // end of the read at once.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    frameScheduler.renderer.chooseForCurrentContext();
    pointSet.finishLoad();
    return window;
}

namespace {

void drawUnderPoints() {
    // Without a depth buffer later drawing covers earlier: the points cover the axes.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (showAxis)
        pointSet.drawAxes();
}

} // namespace

void displayScene() {
    FrameContent content;
    content.points = recordSource(pointSet.points, pointSet.count);
    content.drawUnder = drawUnderPoints;
    frameScheduler.display(content);
}

void reshapeScene(int width, int height) {
    glViewport(0, 0, width, height);
    // Aspect 1.0 whatever the window's shape: a window that isn't square stretches the image.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(cameraSettings.fieldOfViewY, 1.0, cameraSettings.nearPlane,
                   cameraSettings.farPlane);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    pointSet.computeViewDistance(cameraSettings.fieldOfViewX);
    const SceneOffset offset = sceneOffset(pointSet);
    glTranslatef(offset.x, offset.y, offset.z);
    clearNavigation();
}
