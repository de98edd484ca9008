// bench/streamed_view_bench.cpp - the viewer on an octree LAZ file streamed from disk, under a
// real X server: start-up, memory, a drag and a zoom scripted with xdotool.
//
//   streamed-view-bench [VIEWER OPTIONS] FILE.copc.laz     (such as --memory 2G)
//
// Makes the calls viewer/main.cpp makes with the same options, then, each step waiting on the
// frames presented (polled, never a fixed wait):
//   1. the first picture, and the picture at rest of the start view (every node it wants drawn);
//   2. a drag with the left button across the window (100 steps of 3 pixels, one every 16 ms, as
//      a mouse sends them), then the picture at rest after the release;
//   3. `r` back to the start view and its picture at rest, then 22 turns of the wheel
//      (0.9^22 of the distance, a patch of about 1 % of the start view's area) one
//      every 16 ms at the pointer, and the picture at rest after the last one.
// Prints one line of key=value figures:
//   exec_first_s main_first_s  seconds from the exec (as /proc has it, to 10 ms) and from main
//       to the first picture; first_points its points
//   cpu_first_s  CPU seconds of every thread of the process by the first picture: beside the
//       clock on a busy machine
//   opened_s glut_s window_s panel_s warmed_s  seconds from main to the file opened (header,
//       index root and root node read), GLUT started, the graphics window opened, the control panel
//       built and the renderer warmed up: where the start-up goes; cpu_stages the process's CPU
//       seconds at each of those and at the first picture, comma-separated
//   exec_full_s full_points  to the start view's picture at rest, and its points
//   drag_fps drag_median_ms drag_worst_ms drag_points  frames a second during the drag, the
//       median and worst interval between them, the median points a drag frame drew
//   release_full_s  from the release to the picture at rest
//   zoom_full_s zoom_first_full_s zoom_points zoom_patch_pct  from the last notch (and from the
//       first) to the picture at rest, its points, and the share of the start view's ground width
//       squared the zoomed view spans at the pivot
//   budget_mb held_mb rss_mb peak_mb  the memory budget, the decoded points held at the end (as
//       the budget counts them), resident memory at the end and its peak
//   path  the renderer's path of large frames
#include "bench/bench_figures.h"
#include "viewer/control_panel.h"
#include "viewer/options.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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
constexpr int kPointerY = 320;
constexpr int kZoomNotches = 22;

double since(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Seconds between the exec of this process and main: the boot clock now less the process's start
// in the boot clock's ticks (field 22 of /proc/self/stat); 0 when /proc cannot say.
double execToMain() {
    FILE* stat = std::fopen("/proc/self/stat", "r");
    if (!stat)
        return 0.0;
    char line[1024];
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    // The command name may hold spaces: the fields are counted from its closing parenthesis.
    const char* field = read ? std::strrchr(line, ')') : nullptr;
    if (!field)
        return 0.0;
    for (int skipped = 2; skipped < 22 && field; ++skipped)
        field = std::strchr(field + 1, ' ');
    if (!field)
        return 0.0;
    const double startTicks = std::strtod(field + 1, nullptr);
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double sinceExec =
        double(now.tv_sec) + double(now.tv_nsec) * 1e-9 - startTicks / double(sysconf(_SC_CLK_TCK));
    return std::max(0.0, sinceExec - since(started));
}

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

enum class Phase { FirstPicture, StartFull, Drag, Reset, Zoom };

struct Run {
    Phase phase = Phase::FirstPicture;
    int window = 0;
    unsigned long xWindow = 0;
    double execOffset = 0.0;
    double first = 0.0, full = 0.0;
    double opened = 0.0, glut = 0.0, windowOpen = 0.0, panel = 0.0, warmed = 0.0;
    double cpuFirst = 0.0;
    uint64_t memory = 0; // the budget
    std::string cpuStages;
    int64_t firstPoints = 0, fullPoints = 0;
    pid_t script = -1; // the xdotool of the step in progress
    bool scriptDone = false;
    std::vector<double> dragTimes, dragPoints;
    Clock::time_point releasedAt;
    double releaseFull = 0.0;
    double startWidth = 0.0; // the ground width the start view spans at the pivot
    int notches = 0;
    Clock::time_point firstNotch, lastNotch;
    double zoomFull = 0.0, zoomFirstFull = 0.0, zoomPatch = 0.0;
    int64_t zoomPoints = 0;
} run;

void noteCpu() {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%s%.3f", run.cpuStages.empty() ? "" : ",",
                  processSeconds());
    run.cpuStages += figure;
}

// The width in scene units the view spans at the depth of its pivot.
double widthAtPivot() {
    const View view = viewOf(viewer.viewState, viewer.pointSet);
    double pivot[4] = {0, 0, 0, 1};
    for (int row = 0; row < 4; ++row) {
        pivot[row] = view.modelview[12 + row];
        for (int axis = 0; axis < 3; ++axis)
            pivot[row] += view.modelview[4 * axis + row] * viewer.viewState.pivot[axis];
    }
    const double depth = std::abs(pivot[2]);
    return view.viewport[2] / pixelsPerUnitAtUnitDepth(view) * depth;
}

void spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    run.scriptDone = false;
    if (posix_spawnp(&run.script, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "streamed-view-bench: cannot run xdotool\n");
        std::exit(1);
    }
}

std::vector<std::string> moveTo(int x) {
    return {"mousemove",       "--sync",
            "--window",        std::to_string(run.xWindow),
            std::to_string(x), std::to_string(kPointerY)};
}

void startDrag() {
    std::vector<std::string> args = {"xdotool"};
    for (const std::string& word : moveTo(50))
        args.push_back(word);
    args.push_back("mousedown");
    args.push_back("1");
    for (int step = 1; step <= 100; ++step) {
        for (const char* word : {"sleep", "0.016", "mousemove", "--window"})
            args.push_back(word);
        args.push_back(std::to_string(run.xWindow));
        args.push_back(std::to_string(50 + 3 * step));
        args.push_back(std::to_string(kPointerY));
    }
    args.push_back("mouseup");
    args.push_back("1");
    spawn(args);
    run.phase = Phase::Drag;
}

void startReset() {
    spawn({"xdotool", "key", "--window", std::to_string(run.xWindow), "r"});
    run.phase = Phase::Reset;
}

void startZoom() {
    run.startWidth = widthAtPivot();
    std::vector<std::string> args = {"xdotool"};
    for (const std::string& word : moveTo(200))
        args.push_back(word);
    for (const char* word : {"click", "--repeat", "", "--delay", "16", "4"})
        args.push_back(word);
    args[args.size() - 4] = std::to_string(kZoomNotches);
    spawn(args);
    run.phase = Phase::Zoom;
}

void report() {
    std::vector<double> intervals;
    for (size_t i = 1; i < run.dragTimes.size(); ++i)
        intervals.push_back((run.dragTimes[i] - run.dragTimes[i - 1]) * 1000.0);
    const double span =
        run.dragTimes.size() > 1 ? run.dragTimes.back() - run.dragTimes.front() : 0.0;
    const CopcNodeCache& cache = viewer.copcLod->cache();
    // The bytes the budget counts a point held at: its record and what is kept beside it.
    const double perPoint =
        double(run.memory) / double(std::max<int64_t>(cache.budgetPoints(), 1)) / 1048576.0;
    std::printf(
        "points=%lld exec_first_s=%.3f main_first_s=%.3f first_points=%lld cpu_first_s=%.3f "
        "opened_s=%.3f glut_s=%.3f window_s=%.3f panel_s=%.3f warmed_s=%.3f cpu_stages=%s "
        "exec_full_s=%.3f "
        "full_points=%lld drag_fps=%.1f drag_median_ms=%.1f drag_worst_ms=%.1f drag_points=%.0f "
        "release_full_s=%.3f zoom_full_s=%.3f zoom_first_full_s=%.3f zoom_points=%lld "
        "zoom_patch_pct=%.2f budget_mb=%.0f held_mb=%.0f rss_mb=%.0f peak_mb=%.0f "
        "path=%s\n",
        static_cast<long long>(viewer.copcLod->declaredPoints()), run.execOffset + run.first,
        run.first, static_cast<long long>(run.firstPoints), run.cpuFirst, run.opened, run.glut,
        run.windowOpen, run.panel, run.warmed, run.cpuStages.c_str(), run.execOffset + run.full,
        static_cast<long long>(run.fullPoints), span > 0 ? intervals.size() / span : 0.0,
        median(intervals),
        intervals.empty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()),
        median(run.dragPoints), run.releaseFull, run.zoomFull, run.zoomFirstFull,
        static_cast<long long>(run.zoomPoints), run.zoomPatch, double(run.memory) / 1048576.0,
        double(cache.heldPoints()) * perPoint, statusMb("VmRSS:"), statusMb("VmHWM:"),
        viewer.frameScheduler.renderer.largeFramePath() == PointPath::Software ? "software" : "gl");
    std::fflush(stdout);
    std::exit(0);
}

bool atStartView() {
    for (int axis = 0; axis < 3; ++axis)
        if (viewer.viewState.rotation[axis] != 0.0f || viewer.viewState.eyeOffset[axis] != 0.0f)
            return false;
    return true;
}

// Whether the frame is the picture at rest that follows the step's input, all of it delivered.
bool restAfterScript(const FrameRecord& frame) {
    return frame.full && run.scriptDone && !viewer.frameScheduler.buttonHeld();
}

void onPresented(const FrameRecord& frame) {
    switch (run.phase) {
        case Phase::FirstPicture:
            run.first = since(started);
            run.firstPoints = frame.points;
            run.cpuFirst = processSeconds();
            noteCpu();
            run.phase = Phase::StartFull;
            [[fallthrough]];
        case Phase::StartFull:
            if (!frame.full)
                break;
            run.full = since(started);
            run.fullPoints = frame.points;
            startDrag();
            break;
        case Phase::Drag:
            if (viewer.frameScheduler.buttonHeld()) {
                run.dragTimes.push_back(since(started));
                run.dragPoints.push_back(static_cast<double>(frame.points));
            }
            if (restAfterScript(frame)) {
                run.releaseFull = since(run.releasedAt);
                startReset();
            }
            break;
        case Phase::Reset:
            // xdotool may end before the key is handled.
            if (restAfterScript(frame) && atStartView())
                startZoom();
            break;
        case Phase::Zoom:
            if (!restAfterScript(frame) || run.notches < kZoomNotches)
                break;
            run.zoomFull = since(run.lastNotch);
            run.zoomFirstFull = since(run.firstNotch);
            run.zoomPoints = frame.points;
            run.zoomPatch =
                run.startWidth > 0 ? 100.0 * std::pow(widthAtPivot() / run.startWidth, 2.0) : 0.0;
            report();
            break;
    }
}

void countedWheel(int wheel, int direction, int x, int y) {
    if (run.phase == Phase::Zoom) {
        run.lastNotch = Clock::now();
        if (run.notches++ == 0)
            run.firstNotch = run.lastNotch;
    }
    graphicsWheel(wheel, direction, x, y);
}

// Notes the end of each step's xdotool, and the nodes that arrived; GLUT's timers leave its
// event handling alone.
void watch(int) {
    if (run.script > 0 && !run.scriptDone) {
        int status = 0;
        if (waitpid(run.script, &status, WNOHANG) == run.script) {
            run.scriptDone = true;
            if (run.phase == Phase::Drag)
                run.releasedAt = Clock::now();
            // The last event may have left the picture at rest on screen already.
            const FrameRecord& last = viewer.frameScheduler.lastFrame();
            if (last.full && !viewer.frameScheduler.wholeFramePending() &&
                !(viewer.copcLod && viewer.copcLod->cache().busy()))
                onPresented(last);
        }
    }
    glutTimerFunc(5, watch, 0);
}

} // namespace

int main(int argc, char** argv) {
    run.execOffset = execToMain();
    const ViewerOptions options = parseOptions(argc, argv);
    if (options.outcome != ViewerOptions::Run) {
        std::fprintf(stderr, "usage: streamed-view-bench [VIEWER OPTIONS] FILE.copc.laz\n");
        return 1;
    }
    viewer.displaySettings = options.settings;
    run.memory = options.memoryBytes ? options.memoryBytes : defaultMemoryBudget();
    if (!streamOctreeFile(options.pointFile, run.memory)) {
        std::fprintf(stderr, "streamed-view-bench: %s is not streamed\n", options.pointFile);
        return 1;
    }
    run.opened = since(started);
    noteCpu();
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    run.glut = since(started);
    noteCpu();
    run.window = openGraphicsWindow(options.windowWidth, options.windowHeight);
    run.windowOpen = since(started);
    noteCpu();
    run.xWindow = static_cast<unsigned long>(glXGetCurrentDrawable());
    glutMouseWheelFunc(countedWheel);
    viewer.frameScheduler.presented = onPresented;
    buildControlPanel(run.window);
    run.panel = since(started);
    noteCpu();
    glutSetWindow(run.window);
    warmUpGraphicsWindow();
    run.warmed = since(started);
    noteCpu();
    viewer.pointSet.finishLoad();
    viewer.viewState.panMode = options.pan ? *options.pan : startPanMode(viewer.pointSet);
    glutTimerFunc(5, watch, 0);
    glutMainLoop();
    return 0;
}
