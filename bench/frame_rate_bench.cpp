// bench/frame_rate_bench.cpp - the viewer's frames on one point file under a real X server:
// start-up, the octree's build, rest, and a drag scripted with xdotool while the viewer runs.
//
//   frame-rate-bench POINT_FILE
//
// Makes the calls viewer/main.cpp makes, then waits for the first frame, the first whole frame
// (of the records, not of the sample drawn while the octree is built) and the first frame at
// rest once the octree a large cloud gets is ready (polled, never a fixed wait); then times three
// frames at rest and drags across the graphics window with the left button (100 steps of 3
// pixels, one every 16 ms, as a mouse sends them). Prints one line of key=value figures:
//   windows_s loaded_s first_frame_s first_whole_s  seconds from the start to the windows opened,
//       the points loaded, the first frame and the first whole frame
//   octree_start_s octree_ready_s first_full_s  the octree's build started and ended (0 when the
//       cloud gets none), the first picture at rest drawn through it (or whole without one)
//   full_points  points of that picture; octree=none|ready|failed
//   rest_ms rest_points  the frame at rest (median of three, ms) and its points
//   drag_fps drag_median_ms drag_worst_ms drag_points drag_octree  frames a second during the
//       drag, the median and worst interval, the median points a drag frame drew, and the share
//       of drag frames drawn through the octree (1: all)
//   release_to_whole_s  from the release to the frame at rest
//   points_mb octree_mb octree_pct  the records' memory (24 bytes a point), the octree's table
//       and the table as a share of the records
//   rss_loaded_mb peak_loaded_mb rss_ready_mb peak_mb  resident memory and its peak after the
//       load, resident memory once the octree is ready, and the peak of the whole run
//   path  the renderer's path of large frames
#include "bench/bench_figures.h"
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
#include <cstring>
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

enum class Phase { FirstFrame, FirstWhole, FirstFull, Rest, Drag, AfterRelease };

struct Run {
    Phase phase = Phase::FirstFrame;
    int window = 0;
    unsigned long xWindow = 0;
    double windowsOpen = 0.0, loaded = 0.0, firstFrame = 0.0, firstWhole = 0.0, firstFull = 0.0;
    double octreeStart = 0.0, octreeReady = 0.0;
    double rssLoaded = 0.0, peakLoaded = 0.0, rssReady = 0.0;
    int64_t fullPoints = 0;
    std::vector<double> rest;
    std::vector<double> restPoints;
    Clock::time_point restAsked;
    pid_t dragger = -1;
    bool released = false;
    Clock::time_point releasedAt;
    std::vector<double> dragTimes;
    std::vector<double> dragPoints;
    int dragThroughOctree = 0;
} run;

bool drawingSample() {
    return viewer.cloudOctree && viewer.cloudOctree->state() == CloudOctree::State::Building;
}

bool octreeReady() {
    return viewer.cloudOctree && viewer.cloudOctree->state() == CloudOctree::State::Ready;
}

// Whether the frames are what they stay: no octree to come, or its build over. The frame just
// presented makes the octree when it showed that the cloud needs one (see afterFrame), so the
// budget that decides is the one its cost gave.
bool octreeSettled() {
    if (viewer.cloudOctree)
        return !drawingSample();
    return !viewer.lodSettings.buildOctree ||
           viewer.pointSet.count <= viewer.frameScheduler.frameBudget(false);
}

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

const char* octreeState() {
    if (!viewer.cloudOctree)
        return "none";
    switch (viewer.cloudOctree->state()) {
        case CloudOctree::State::Ready:
            return "ready";
        case CloudOctree::State::Failed:
            return "failed";
        default:
            return "building";
    }
}

void report() {
    std::vector<double> intervals;
    for (size_t i = 1; i < run.dragTimes.size(); ++i)
        intervals.push_back((run.dragTimes[i] - run.dragTimes[i - 1]) * 1000.0);
    const double span =
        run.dragTimes.size() > 1 ? run.dragTimes.back() - run.dragTimes.front() : 0.0;
    const double pointsMb = double(viewer.pointSet.count) * sizeof(PointRecord) / 1048576.0;
    const double octreeMb =
        octreeReady() ? double(viewer.cloudOctree->octree().bytes()) / 1048576.0 : 0.0;
    std::printf(
        "points=%d windows_s=%.3f loaded_s=%.3f first_frame_s=%.3f first_whole_s=%.3f "
        "octree_start_s=%.3f octree_ready_s=%.3f first_full_s=%.3f full_points=%lld octree=%s "
        "rest_ms=%.1f rest_points=%.0f drag_fps=%.1f drag_median_ms=%.1f drag_worst_ms=%.1f "
        "drag_points=%.0f drag_octree=%.2f release_to_whole_s=%.3f points_mb=%.1f "
        "octree_mb=%.2f octree_pct=%.2f rss_loaded_mb=%.0f peak_loaded_mb=%.0f rss_ready_mb=%.0f "
        "peak_mb=%.0f "
        "path=%s\n",
        static_cast<int>(viewer.pointSet.count), run.windowsOpen, run.loaded, run.firstFrame,
        run.firstWhole, run.octreeStart, run.octreeReady, run.firstFull,
        static_cast<long long>(run.fullPoints), octreeState(), median(run.rest) * 1000.0,
        median(run.restPoints), span > 0 ? (intervals.size()) / span : 0.0, median(intervals),
        intervals.empty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()),
        median(run.dragPoints),
        run.dragTimes.empty() ? 0.0 : double(run.dragThroughOctree) / run.dragTimes.size(),
        since(run.releasedAt), pointsMb, octreeMb, pointsMb > 0 ? 100.0 * octreeMb / pointsMb : 0.0,
        run.rssLoaded, run.peakLoaded, run.rssReady, statusMb("VmHWM:"),
        viewer.frameScheduler.renderer.largeFramePath() == PointPath::Software ? "software" : "gl");
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
            // A frame of the sample is whole, but of a few points.
            if (!frame.full || drawingSample())
                break;
            run.firstWhole = since(started);
            run.phase = Phase::FirstFull;
            [[fallthrough]];
        case Phase::FirstFull:
            if (!frame.full || !octreeSettled())
                break;
            run.firstFull = since(started);
            run.fullPoints = frame.points;
            run.rssReady = statusMb("VmRSS:");
            run.phase = Phase::Rest;
            askRestFrame();
            break;
        case Phase::Rest:
            if (!frame.full)
                break;
            run.rest.push_back(since(run.restAsked));
            run.restPoints.push_back(double(frame.points));
            if (run.rest.size() < 3)
                askRestFrame();
            else
                startDrag();
            break;
        case Phase::Drag:
            if (viewer.frameScheduler.buttonHeld()) {
                run.dragTimes.push_back(since(started));
                run.dragPoints.push_back(static_cast<double>(frame.points));
                run.dragThroughOctree += octreeReady() ? 1 : 0;
            }
            break;
        case Phase::AfterRelease:
            if (frame.full)
                report();
            break;
    }
}

// Notes the octree's build starting and ending, and polls for the end of the drag; GLUT's
// timers leave its event handling alone.
void watch(int) {
    if (viewer.cloudOctree && run.octreeStart == 0.0)
        run.octreeStart = since(started);
    if (viewer.cloudOctree && !drawingSample() && run.octreeReady == 0.0)
        run.octreeReady = since(started);
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
    glutTimerFunc(5, watch, 0);
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
    run.rssLoaded = statusMb("VmRSS:");
    run.peakLoaded = statusMb("VmHWM:");
    glutTimerFunc(5, watch, 0);
    glutMainLoop();
    return 0;
}
