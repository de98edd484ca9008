// bench/first_frame_bench.cpp - time from start to the first frame of the viewer's start-up, or
// of the straightforward start-up it replaced, on one point file under a real X server.
//
//   first-frame-bench fast|straightforward POINT_FILE
//
// "fast" makes the calls viewer/main.cpp makes (the header and allocation first, the body parsed
// while the windows open and the renderer warms up; the points drawn from their records).
// "straightforward" reads with the fscanf reader, then creates the same window, compiles one
// glColor3fv and glVertex3fv per point and builds the same control panel. Both print, on one
// line, the seconds from the start of main to the end of the first frame and how much of it
// came after the window was ready (control panel and drawing); "straightforward" also splits
// the time before.
#include "io/native/scanf_reader.h"
#include "viewer/camera.h"
#include "viewer/control_panel.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point started;
Clock::time_point loaded;
Clock::time_point windowed;
Clock::time_point compiled;
GLuint perPointList = 0;

double since(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void firstFrame() {
    if (perPointList) {
        viewOf(viewer.viewState, viewer.pointSet).load();
        glClear(GL_COLOR_BUFFER_BIT);
        glCallList(perPointList);
        glutSwapBuffers();
    } else {
        displayScene();
    }
    glFinish();
    const Clock::time_point drawn = Clock::now();
    std::printf("%.3f s to the first frame, %.3f s of it after the window", since(started, drawn),
                since(compiled, drawn));
    if (windowed != Clock::time_point())
        std::printf(" (load %.3f s, window %.3f s, compile %.3f s)", since(started, loaded),
                    since(loaded, windowed), since(windowed, compiled));
    std::printf(", %d points\n", static_cast<int>(viewer.pointSet.count));
    std::exit(0);
}

int straightforwardStart(const char* path) {
    const ReadResult read = readPointFileScanf(path);
    if (read.status != ReadStatus::Read) {
        std::fprintf(stderr, "first-frame-bench: cannot read %s\n", path);
        std::exit(1);
    }
    viewer.pointSet.points = read.points;
    viewer.pointSet.count = static_cast<int32_t>(read.count);
    viewer.pointSet.computeBounds();
    loaded = Clock::now();

    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(400, 400);
    const int window = glutCreateWindow("Pointillist");
    glutReshapeFunc(reshapeScene);
    glutMouseFunc(graphicsMouse);
    glutMotionFunc(graphicsMotion);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    windowed = Clock::now();

    perPointList = glGenLists(1);
    glNewList(perPointList, GL_COMPILE);
    glBegin(GL_POINTS);
    for (int32_t i = 0; i < viewer.pointSet.count; ++i) {
        glColor3fv(&viewer.pointSet.points[i].r);
        glVertex3fv(&viewer.pointSet.points[i].x);
    }
    glEnd();
    glEndList();
    compiled = Clock::now();
    return window;
}

void initGlut(char* program) {
    int glutArgc = 1;
    char* glutArgv[] = {program, nullptr};
    glutInit(&glutArgc, glutArgv);
}

int fastStart(const char* path, char* program) {
    viewer.pointSet.beginLoad(path);
    initGlut(program);
    const int window = openGraphicsWindow();
    buildControlPanel(window);
    glutSetWindow(window);
    warmUpGraphicsWindow();
    viewer.pointSet.finishLoad();
    compiled = Clock::now();
    return window;
}

} // namespace

int main(int argc, char** argv) {
    started = Clock::now();
    if (argc != 3 || (std::strcmp(argv[1], "fast") && std::strcmp(argv[1], "straightforward"))) {
        std::fprintf(stderr, "usage: first-frame-bench fast|straightforward POINT_FILE\n");
        return 1;
    }
    int window = 0;
    if (std::strcmp(argv[1], "fast") == 0) {
        window = fastStart(argv[2], argv[0]);
    } else {
        initGlut(argv[0]);
        window = straightforwardStart(argv[2]);
        buildControlPanel(window);
    }
    glutSetWindow(window);
    glutDisplayFunc(firstFrame);
    glutMainLoop();
    return 0;
}
