// bench/frame_rate_bench.cpp - the viewer's frames on one point file under a real X server:
// start-up, rest, and a drag scripted with xdotool while the viewer runs.
//
//   frame-rate-bench POINT_FILE
//
// Makes the calls viewer/main.cpp makes, then waits for the first frame and the first whole
// frame, times three whole frames at rest, and drags across the graphics window with the left
// button (100 steps of 3 pixels, one every 16 ms, as a mouse sends them). Prints one line of
// key=value figures: seconds from the start to the windows opened, to the points loaded (box
// and centroid too), to the first frame and to the first whole frame, the frame at rest (median,
// ms), frames a second during the drag with the median and worst interval between frames (ms) and
// the median points a drag frame drew, the seconds from the release to the whole frame, the path of
// large frames and the peak resident memory (MB).
#include "viewer/control_panel.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();
// Below the control window, which opens over the graphics window's corner.
const char* const kDragY = "320";

double since(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

enum class Phase { FirstFrame, FirstWhole, Rest, Drag, AfterRelease };

struct Run {
    Phase phase = Phase::FirstFrame;
    int window = 0;
    unsigned long xWindow = 0;
    double windowsOpen = 0.0, loaded = 0.0, firstFrame = 0.0, firstWhole = 0.0;
    std::vector<double> rest;
    Clock::time_point restAsked;
    pid_t dragger = -1;
    bool released = false;
    Clock::time_point releasedAt;
    std::vector<double> dragTimes;
    std::vector<double> dragPoints;
} run;

void askRestFrame() {
    run.restAsked = Clock::now();
    glutSetWindow(run.window);
    glutPostRedisplay();
}

void startDrag() {
    std::vector<std::string> args = {
        "xdotool", "mousemove", "--sync",    "--window", std::to_string(run.xWindow),
        "50",      kDragY,      "mousedown", "1"};
    for (int step = 1; step <= 100; ++step) {
        for (const char* word : {"sleep", "0.016", "mousemove", "--window"})
            args.push_back(word);
        args.push_back(std::to_string(run.xWindow));
        args.push_back(std::to_string(50 + 3 * step));
        args.push_back(kDragY);
    }
    args.push_back("mouseup");
    args.push_back("1");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&run.dragger, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "frame-rate-bench: cannot run xdotool\n");
        std::exit(1);
    }
    run.phase = Phase::Drag;
}

void report() {
    std::vector<double> intervals;
    for (size_t i = 1; i < run.dragTimes.size(); ++i)
        intervals.push_back((run.dragTimes[i] - run.dragTimes[i - 1]) * 1000.0);
    const double span =
        run.dragTimes.size() > 1 ? run.dragTimes.back() - run.dragTimes.front() : 0.0;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points=%d windows_s=%.3f loaded_s=%.3f first_frame_s=%.3f first_whole_s=%.3f "
                "rest_ms=%.1f drag_fps=%.1f "
                "drag_median_ms=%.1f drag_worst_ms=%.1f drag_points=%.0f release_to_whole_s=%.3f "
                "path=%s peak_mb=%.0f\n",
                static_cast<int>(viewer.pointSet.count), run.windowsOpen, run.loaded,
                run.firstFrame, run.firstWhole, median(run.rest) * 1000.0,
                span > 0 ? (intervals.size()) / span : 0.0, median(intervals),
                intervals.empty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()),
                median(run.dragPoints), since(run.releasedAt),
                viewer.frameScheduler.renderer.largeFramePath() == PointPath::Software ? "software"
                                                                                       : "gl",
                usage.ru_maxrss / 1024.0);
    std::fflush(stdout);
    std::exit(0);
}

void onPresented(const FrameRecord& frame) {
    switch (run.phase) {
        case Phase::FirstFrame:
            run.firstFrame = since(started);
            run.phase = Phase::FirstWhole;
            [[fallthrough]];
        case Phase::FirstWhole:
            if (frame.full) {
                run.firstWhole = since(started);
                run.phase = Phase::Rest;
                askRestFrame();
            }
            break;
        case Phase::Rest:
            if (!frame.full)
                break;
            run.rest.push_back(since(run.restAsked));
            if (run.rest.size() < 3)
                askRestFrame();
            else
                startDrag();
            break;
        case Phase::Drag:
            if (viewer.frameScheduler.buttonHeld()) {
                run.dragTimes.push_back(since(started));
                run.dragPoints.push_back(static_cast<double>(frame.points));
            }
            break;
        case Phase::AfterRelease:
            if (frame.full)
                report();
            break;
    }
}

// Polls for the end of the drag; GLUT's timers leave its event handling alone.
void watchDrag(int) {
    if (run.phase == Phase::Drag && run.dragger > 0 && !run.released) {
        int status = 0;
        if (waitpid(run.dragger, &status, WNOHANG) == run.dragger) {
            run.released = true;
            run.releasedAt = Clock::now();
            run.phase = Phase::AfterRelease;
            // Small clouds are whole in every frame: the last drag frame was whole already.
            if (viewer.frameScheduler.lastFrame().full &&
                !viewer.frameScheduler.wholeFramePending())
                report();
        }
    }
    glutTimerFunc(5, watchDrag, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: frame-rate-bench POINT_FILE\n");
        return 1;
    }
    viewer.pointSet.beginLoad(argv[1]);
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    run.window = openGraphicsWindow();
    run.xWindow = static_cast<unsigned long>(glXGetCurrentDrawable());
    viewer.frameScheduler.presented = onPresented;
    buildControlPanel(run.window);
    run.windowsOpen = since(started);
    glutSetWindow(run.window);
    warmUpGraphicsWindow();
    viewer.pointSet.finishLoad();
    run.loaded = since(started);
    glutTimerFunc(5, watchDrag, 0);
    glutMainLoop();
    return 0;
}
