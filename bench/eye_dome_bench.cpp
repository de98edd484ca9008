// bench/eye_dome_bench.cpp - the cost of eye-dome lighting: whole frames of one point file with
// and without it, on both drawing paths, under a real X server.
//
//   eye-dome-bench POINT_FILE [FRAMES]
//
// Loads the file as the viewer does, opens its graphics window and draws FRAMES (default 7)
// whole frames at the start view for each path and setting, alternating them so that a busy
// machine weighs on both alike. Prints one line per path: the median frame without and with
// eye-dome lighting (ms) and the share of the frame the shading takes.
#include "bench/bench_figures.h"
#include "viewer/frame.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// One whole frame in milliseconds; PointRenderer::finish waits for GL to complete it.
double frameMs(bool eyeDome) {
    viewer.displaySettings.eyeDome = eyeDome;
    const auto start = std::chrono::steady_clock::now();
    drawCompleteFrame();
    glFinish();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: eye-dome-bench POINT_FILE [FRAMES]\n");
        return 1;
    }
    const int frames = argc == 3 ? std::max(1, std::atoi(argv[2])) : 7;
    viewer.pointSet.beginLoad(argv[1]);
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    createGraphicsWindow();
    // The window must be shown and sized before the frames mean anything.
    while (viewer.viewState.width == 0)
        glutMainLoopEvent();

    for (PointPath path : {PointPath::Gl, PointPath::Software}) {
        viewer.frameScheduler.renderer.setLargeFramePath(path);
        // The first of each: buffers allocated, shaders compiled.
        frameMs(false);
        frameMs(true);
        std::vector<double> plain, shaded;
        for (int i = 0; i < frames; ++i) {
            plain.push_back(frameMs(false));
            shaded.push_back(frameMs(true));
        }
        const double without = median(plain), with = median(shaded);
        std::printf("path=%s points=%lld frame_ms=%.1f edl_frame_ms=%.1f edl_share=%.2f\n",
                    path == PointPath::Gl ? "gl" : "software",
                    static_cast<long long>(viewer.pointSet.count), without, with,
                    with > 0 ? (with - without) / with : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
