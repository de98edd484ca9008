// viewer/scene.cpp - graphics window creation, reshape and display.
#include "viewer/scene.h"

#include "viewer/camera.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

const CameraSettings cameraSettings = {0.1f, 10000.0f, 60.0f, 60.0f};

int32_t showAxis = 0;

SceneOffset sceneOffset(const PointSet& set) {
    SceneOffset offset;
    offset.x =
        static_cast<float>((static_cast<double>(set.nearCorner[0]) + set.farCorner[0]) * -0.5);
    offset.y =
        static_cast<float>((static_cast<double>(set.nearCorner[1]) + set.farCorner[1]) * -0.5);
    offset.z = static_cast<float>(-(static_cast<double>(set.nearCorner[2]) + set.viewDistance));
    return offset;
}

int createGraphicsWindow() {
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(400, 400);
    const int window = glutCreateWindow("Pointillist");
    glutDisplayFunc(displayScene);
    glutReshapeFunc(reshapeScene);
    glutMouseFunc(mouseButton);
    glutMotionFunc(mouseMotion);

    // The new window's context is current: the list must be compiled in it, since it is the
    // context that draws it.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    pointSet.buildDisplayList();
    return window;
}

void displayScene() {
    pointSet.drawScene();
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
