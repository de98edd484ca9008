// viewer/main.cpp - the entry point: load the point file, open the graphics window, run GLUT.
#include "viewer/control_panel.h"
#include "viewer/point_set.h"
#include "viewer/scene.h"

#include <GL/freeglut.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pointillist POINT_FILE\n");
        return 1;
    }
    // Load failures are reported here, before GLUT needs a display, so a missing file gets our
    // message even without one; the body is parsed while the window is created and its list
    // compiled.
    pointSet.beginLoad(argv[1]);

    // GLUT sees the program name only: the point file path is not one of its options.
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    int graphicsWindow = createGraphicsWindow();
    buildControlPanel(graphicsWindow);
    glutMainLoop();
    return 0;
}
