// viewer/keys.cpp - the actions of the key table.
#include "viewer/keys.h"

#include "viewer/key_table.h"
#include "viewer/point_marks.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

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
    const KeyBinding* binding = keyBinding(key);
    if (binding == nullptr)
        return;
    DisplaySettings& settings = viewer.displaySettings;
    ViewState& view = viewer.viewState;
    switch (binding->action) {
        case KeyAction::PointSize:
            settings.pointSize = std::clamp(settings.pointSize + (key == '-' ? -1 : 1),
                                            MIN_POINT_SIZE, MAX_POINT_SIZE);
            break;
        case KeyAction::Colours:
            settings.colourMode = nextColourMode(settings.colourMode, viewer.pointSet.attributes);
            break;
        case KeyAction::Withheld: {
            PointVisibility& visibility = viewer.pointSet.visibility;
            visibility.withheldShown = !visibility.withheldShown;
            visibility.changed();
            break;
        }
        case KeyAction::Legend:
            settings.showLegend = !settings.showLegend;
            break;
        case KeyAction::Background:
            settings.background = nextBackground(settings.background);
            break;
        case KeyAction::Speed:
            changeSpeed(view, key == '[' ? -1 : 1);
            break;
        case KeyAction::Pan:
            view.panMode = view.panMode == PanMode::Follow ? PanMode::Fixed : PanMode::Follow;
            break;
        case KeyAction::EyeDome:
            settings.eyeDome = !settings.eyeDome;
            break;
        case KeyAction::Measure:
            toggleMeasurement(stdout);
            break;
        case KeyAction::Frame:
            frameCloud(view, viewer.pointSet);
            break;
        case KeyAction::StandardView:
            showStandardView(view, viewer.pointSet, static_cast<StandardView>(key - '1'));
            break;
        case KeyAction::ResetView:
            resetView(view, viewer.pointSet);
            clearMark();
            break;
        case KeyAction::Screenshot:
            // Drawn, saved and shown at once: no redisplay needed.
            screenshot();
            return;
        case KeyAction::Status:
            settings.showStatus = !settings.showStatus;
            break;
        case KeyAction::Help:
            settings.showHelp = !settings.showHelp;
            break;
        case KeyAction::Quit:
            // As the Quit button does.
            std::exit(0);
    }
    glutPostRedisplay();
}
