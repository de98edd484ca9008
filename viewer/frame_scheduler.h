// viewer/frame_scheduler.h - which points each frame of the graphics window draws, and when:
// a spread subset or the coarser nodes while the view moves, the whole cloud or every node the
// view wants at rest.
#pragma once

#include "viewer/draw_budget.h"
#include "viewer/lod/lod_source.h"
#include "viewer/point_renderer.h"
#include "viewer/point_subset.h"

#include <cstdint>
#include <vector>

// What a frame shows: the points, the view they are seen through, and what goes under them (the
// clear, the axes) and over them. The view is loaded into GL before anything is drawn. With lod
// set the frame draws the nodes it chooses (points are then the records its nodes are runs of);
// cloudPoints is the size of the cloud the points stand for (-1: points.count), which picks the
// renderer's path. When some points are hidden, drawn lists the records shown (ascending,
// drawnCount of them; drawnVersion changes whenever the list does) and only those are drawn,
// of the whole cloud or of the nodes; null draws every one.
struct FrameContent {
    PointSource points;
    int64_t cloudPoints = -1;
    LodSource* lod = nullptr;
    const uint32_t* drawn = nullptr;
    int64_t drawnCount = 0;
    uint64_t drawnVersion = 0;
    float pointSize = 1.0f;
    float eyeDome = 0.0f; // the strength of eye-dome lighting, 0 for none
    View view;
    void (*drawUnder)() = nullptr;
    void (*drawOver)() = nullptr;

    // The points the frame draws without a level of detail: drawnCount, or all of them.
    int64_t pointsDrawn() const { return drawn != nullptr ? drawnCount : points.count; }
    // Those points as one run.
    PointSegment shownRun() const;
};

// What the last frame put on screen.
struct FrameRecord {
    int64_t serial = 0; // frames presented so far
    bool full = false;  // the picture at rest: every point, or every node the view wants
    int64_t points = 0;
    double seconds = 0.0; // from the start of the frame to its swap
};

// Draws the graphics window's frames. A cloud that fits the frame budget is drawn whole in
// every frame, as it always was. A larger one is drawn as its subset at once, and then, unless
// a mouse button is held, whole: in passes of one frame budget each, run from GLUT timers so that
// the events in between are handled, and put on screen when the last pass is done. Any new frame
// (a press, a motion, a redisplay) gives up a whole frame in progress. The budget follows the
// measured cost of the frames drawn so far. The first frame may take a few frames' time: it is
// drawn whole at once when the budget says the cloud fits in that, since nothing was on screen
// before it and a subset shown first would put the whole cloud off by its passes. A cloud with
// a level of detail is drawn the same way, its most wanted nodes within the budget standing for
// the subset and every node the view wants at rest for the whole cloud.
class FrameScheduler {
public:
    // In a new window, whose context is current, before its first frame: gives the budget its
    // first cost of a point from the renderer's measure.
    void prepare();
    // The GLUT display callback's work: one frame of content in the current window, swapped.
    void display(const FrameContent& content);
    // From the graphics window's mouse callback. The release of the last held button brings
    // the whole cloud when the last frame showed only the subset.
    void buttonChanged(int button, int state);
    // Gives up a whole frame in progress, for a window or points about to go. What the last
    // frame drew may be gone with them: the frame at rest a release or an arrival asks for then
    // comes through a redisplay, never from the last frame's content.
    void cancel();
    // Nodes of the level of detail arrived, in the current window. At rest the picture on
    // screen stays until a frame at rest with them replaces it (after the one in progress, if
    // any), so that it never falls back to fewer nodes; a held button's next frame has them.
    void nodesArrived();

    bool buttonHeld() const { return buttons_ != 0; }
    bool wholeFramePending() const { return pending_; }
    const FrameRecord& lastFrame() const { return last_; }
    const PointSubset& subset() const { return subset_; }
    // Points a frame may draw, from the measured costs: of the subset, or of a run of records.
    int64_t frameBudget(bool sampled) const;

    PointRenderer renderer;
    DrawBudget budget;
    // Seconds a frame may take: a drag at 60 frames a second where the renderer allows.
    double frameSeconds = 1.0 / 60.0;
    // The first frame's time, in frameSeconds.
    static constexpr double kFirstFrameFrames = 6.0;
    // Called after each swap, for measurements; null in the viewer.
    void (*presented)(const FrameRecord& frame) = nullptr;

private:
    static void continueWholeFrame(int generation);
    void displayLevelOfDetail(const FrameContent& content, double allowed, double started);
    // The level of detail's frame of the content kept, less the points hidden.
    LodFrame lodFrame(int64_t budget) const;
    // Starts drawing plan, a frame at rest (complete: the picture at rest), in passes.
    void startWholeFrame(std::vector<PointSegment> plan, bool complete);
    void stepWholeFrame();
    void present(bool full, bool sampled, int64_t points, double pointSeconds, double started);
    int64_t cloudPoints() const;

    FrameContent content_;
    // content_ may still be drawn: false from a cancel until the next display.
    bool contentCurrent_ = false;
    PointSubset subset_;
    FrameRecord last_;
    int buttons_ = 0;
    int window_ = 0;
    int generation_ = 0;
    bool pending_ = false;
    bool arrivedMeanwhile_ = false; // nodes arrived during the whole frame in progress
    // The whole frame in progress: its runs, how far its passes have got, and whether it is the
    // picture at rest.
    std::vector<PointSegment> plan_;
    int64_t planPoints_ = 0;
    bool planComplete_ = false;
    size_t segment_ = 0;
    int64_t within_ = 0;
    int64_t drawn_ = 0;
    double started_ = 0.0;
};
