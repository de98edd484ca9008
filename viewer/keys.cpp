// viewer/keys.cpp - what each key of the graphics window does.
#include "viewer/keys.h"

#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned char ESCAPE = 27;

void changePointSize(int by) {
    viewer.displaySettings.pointSize =
        std::clamp(viewer.displaySettings.pointSize + by, MIN_POINT_SIZE, MAX_POINT_SIZE);
}

void screenshot() {
    std::string error;
    const std::string path = saveNumberedScreenshot(&error);
    if (path.empty()) {
        std::fprintf(stderr, "pointillist: %s\n", error.c_str());
        return;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}

} // namespace

void graphicsKey(unsigned char key, int, int) {
    switch (key) {
        case '+':
        case '=': // + without shift on most keyboards
            changePointSize(1);
            break;
        case '-':
            changePointSize(-1);
            break;
        case 'c':
            viewer.displaySettings.colourMode = nextColourMode(viewer.displaySettings.colourMode);
            break;
        case 'b':
            viewer.displaySettings.background = nextBackground(viewer.displaySettings.background);
            break;
        case '[':
            changeSpeed(viewer.viewState, -1);
            break;
        case ']':
            changeSpeed(viewer.viewState, 1);
            break;
        case 'f':
            frameCloud(viewer.viewState, viewer.pointSet);
            break;
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
            showStandardView(viewer.viewState, viewer.pointSet,
                             static_cast<StandardView>(key - '1'));
            break;
        case '0':
        case 'r':
            resetView(viewer.viewState, viewer.pointSet);
            break;
        case 's':
            // Drawn, saved and shown at once: no redisplay needed.
            screenshot();
            return;
        case 'i':
            viewer.displaySettings.showStatus = !viewer.displaySettings.showStatus;
            break;
        case 'h':
        case '?':
            viewer.displaySettings.showHelp = !viewer.displaySettings.showHelp;
            break;
        case 'q':
        case ESCAPE:
            // As the Quit button does.
            std::exit(0);
        default:
            return;
    }
    glutPostRedisplay();
}
