// viewer/keys.cpp - what each key of the graphics window does.
#include "viewer/keys.h"

#include "viewer/camera.h"
#include "viewer/display_settings.h"
#include "viewer/screenshot.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned char ESCAPE = 27;

void changePointSize(int by) {
    displaySettings.pointSize =
        std::clamp(displaySettings.pointSize + by, MIN_POINT_SIZE, MAX_POINT_SIZE);
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
            displaySettings.colourMode = nextColourMode(displaySettings.colourMode);
            break;
        case 'b':
            displaySettings.background = nextBackground(displaySettings.background);
            break;
        case '[':
            changeSpeed(viewState, -1);
            break;
        case ']':
            changeSpeed(viewState, 1);
            break;
        case 'f':
            frameCloud(viewState, pointSet);
            break;
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
            showStandardView(viewState, pointSet, static_cast<StandardView>(key - '1'));
            break;
        case '0':
        case 'r':
            resetView(viewState, pointSet);
            break;
        case 's':
            // Drawn, saved and shown at once: no redisplay needed.
            screenshot();
            return;
        case 'i':
            displaySettings.showStatus = !displaySettings.showStatus;
            break;
        case 'h':
        case '?':
            displaySettings.showHelp = !displaySettings.showHelp;
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
