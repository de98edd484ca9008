// viewer/main.cpp - the entry point: read the options, load the point file (or the scene of
// several), open the windows, run GLUT.
#include "net/disk_cache.h"
#include "net/http_client.h"
#include "net/url.h"
#include "viewer/classes_window.h"
#include "viewer/control_panel.h"
#include "viewer/level_of_detail.h"
#include "viewer/options.h"
#include "viewer/remote_cloud.h"
#include "viewer/scene.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* screenshotPath = nullptr;

// The display callback of --screenshot: the picture at rest is saved and the program ends.
void saveFirstFrameAndExit() {
    std::string error;
    if (!saveScreenshot(screenshotPath, &error)) {
        std::fprintf(stderr, "pointillist: cannot write %s: %s\n", screenshotPath, error.c_str());
        std::exit(1);
    }
    std::exit(0);
}

} // namespace

int main(int argc, char** argv) {
    const ViewerOptions options = parseOptions(argc, argv);
    switch (options.outcome) {
        case ViewerOptions::NoArguments:
            std::fprintf(stderr, "usage: pointillist POINT_FILE\n");
            return 1;
        case ViewerOptions::Bad:
            std::fprintf(stderr, "%s\n%s\n", options.error.c_str(), usageLine);
            return 2;
        case ViewerOptions::Help:
            std::fputs(helpText, stdout);
            return 0;
        case ViewerOptions::Version:
            std::printf("pointillist %s\n", POINTILLIST_VERSION);
            return 0;
        case ViewerOptions::Run:
            break;
    }
    viewer.displaySettings = options.settings;
    screenshotPath = options.screenshotPath;
    if (options.hiddenClasses)
        viewer.pointSet.hiddenAtStart = *options.hiddenClasses;

    // Load failures are reported here, before GLUT needs a display, so a missing file gets our
    // message even without one; the body is parsed while the windows open.
    // A large octree file is streamed: its nodes are decoded as views need them.
    const uint64_t memory = options.memoryBytes ? options.memoryBytes : defaultMemoryBudget();
    // Several files are one scene, each read whole before the windows open.
    const bool scene = options.pointFiles.size() > 1;
    if (scene || isUrl(options.pointFile)) {
        HttpOptions http;
        if (options.timeoutMs > 0)
            http.connectTimeoutMs = http.stallTimeoutMs = options.timeoutMs;
        setSharedHttpOptions(http);
    }
    // The folder is made only for a run that reads a URL.
    const bool anyUrl = std::any_of(options.pointFiles.begin(), options.pointFiles.end(),
                                    [](const char* file) { return isUrl(file); });
    std::string cacheError;
    if (options.cacheFolder && anyUrl && !openSharedDiskCache(options.cacheFolder, cacheError))
        std::fprintf(stderr, "pointillist: --cache %s; not keeping what is fetched\n",
                     cacheError.c_str());
    if (scene) {
        viewer.pointSet.loadFiles(options.pointFiles, memory);
    } else if (isUrl(options.pointFile)) {
        openRemoteCloud(options.pointFile, memory);
    } else if (!streamOctreeFile(options.pointFile, memory)) {
        viewer.pointSet.beginLoad(options.pointFile);
    }

    // GLUT sees the program name only: the options and the point file are not its own.
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    int graphicsWindow = openGraphicsWindow(options.windowWidth, options.windowHeight);
    if (scene)
        glutSetWindowTitle(("Pointillist - " + viewer.pointSet.sceneName()).c_str());
    ControlWindow* controlWindow = nullptr;
    if (screenshotPath != nullptr) {
        // The picture the window starts with, axes included, though no control window opens.
        viewer.showAxis = 1;
        glutDisplayFunc(saveFirstFrameAndExit);
    } else {
        controlWindow = buildControlPanel(graphicsWindow);
    }
    // The first frame is drawn from the main loop, once the points are there.
    glutSetWindow(graphicsWindow);
    warmUpGraphicsWindow();
    viewer.pointSet.finishLoad();
    // --color for an attribute the file lacks: the picture still comes, in the file's colours.
    const ColourMode asked = viewer.displaySettings.colourMode;
    if (!settleColourMode(viewer.displaySettings, viewer.pointSet.attributes)) {
        if (scene)
            std::fprintf(stderr,
                         "pointillist: no file of the scene has %s; showing their own "
                         "colours\n",
                         colourModeName(asked));
        else
            std::fprintf(stderr, "pointillist: %s has no %s; showing its own colours\n",
                         options.pointFile, colourModeName(asked));
    }
    // The classes are known only now.
    if (controlWindow != nullptr && viewer.pointSet.visibility.hasClasses())
        buildClassesWindow(graphicsWindow, controlWindow);
    glutSetWindow(graphicsWindow);
    viewer.viewState.panMode = options.pan ? *options.pan : startPanMode(viewer.pointSet);
    glutMainLoop();
    return 0;
}
