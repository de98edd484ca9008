// viewer/frame_scheduler.cpp - subset frames, whole frames in passes, and their timing.
#include "viewer/frame_scheduler.h"

#include "viewer/shown_runs.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>

namespace {

// GLUT's timers carry an int alone: the scheduler whose whole frame they continue.
FrameScheduler* continuing = nullptr;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The budget's kind of drawing.
int kindOf(PointPath path, bool sampled) {
    return (path == PointPath::Software ? 2 : 0) + (sampled ? 1 : 0);
}

// Drag buttons only: the wheel's presses come with their releases at once.
bool isDragButton(int button) {
    return button == GLUT_LEFT_BUTTON || button == GLUT_MIDDLE_BUTTON ||
           button == GLUT_RIGHT_BUTTON;
}

} // namespace

PointSegment FrameContent::shownRun() const {
    PointSegment run;
    run.source = points;
    run.count = pointsDrawn();
    run.indices = drawn;
    return run;
}

LodFrame FrameScheduler::lodFrame(int64_t budget) const {
    LodFrame frame = content_.lod->frame(content_.view, budget, content_.points);
    if (content_.drawn != nullptr)
        frame.points = keepShown(frame.segments, content_.drawn, content_.drawnCount);
    return frame;
}

int64_t FrameScheduler::frameBudget(bool sampled) const {
    return budget.pointsFor(kindOf(renderer.largeFramePath(), sampled), frameSeconds);
}

void FrameScheduler::prepare() {
    const double perPoint = renderer.measure();
    if (perPoint > 0.0)
        budget.assume(kindOf(PointPath::Software, false), perPoint);
}

int64_t FrameScheduler::cloudPoints() const {
    return content_.cloudPoints >= 0 ? content_.cloudPoints : content_.points.count;
}

void FrameScheduler::display(const FrameContent& content) {
    const double started = now();
    ++generation_;
    pending_ = false;
    content_ = content;
    contentCurrent_ = true;
    window_ = glutGetWindow();
    const int64_t count = content.pointsDrawn();
    const double allowed =
        last_.serial == 0 && !buttonHeld() ? frameSeconds * kFirstFrameFrames : frameSeconds;
    content.view.load();
    if (content.lod) {
        displayLevelOfDetail(content, allowed, started);
        return;
    }
    if (count <= budget.pointsFor(kindOf(renderer.largeFramePath(), false), allowed)) {
        if (content.drawUnder)
            content.drawUnder();
        const double pointsStarted = now();
        renderer.begin(content.points, content.pointSize, cloudPoints(), content.view,
                       content.eyeDome);
        if (content.drawn != nullptr)
            renderer.addIndices(content.drawn, count);
        else
            renderer.addRange(0, count);
        renderer.finish();
        present(true, false, count, now() - pointsStarted, started);
        return;
    }

    subset_.sample(count, std::min(count - 1, subsetSizeFor(frameBudget(true))), content.drawn,
                   content.drawnVersion);
    if (content.drawUnder)
        content.drawUnder();
    const double pointsStarted = now();
    renderer.begin(content.points, content.pointSize, cloudPoints(), content.view, content.eyeDome);
    renderer.addIndices(subset_.indices(), subset_.size());
    renderer.finish();
    present(false, true, subset_.size(), now() - pointsStarted, started);
    if (!buttonHeld())
        startWholeFrame({content.shownRun()}, true);
}

void FrameScheduler::displayLevelOfDetail(const FrameContent& content, double allowed,
                                          double started) {
    // The nodes are runs of points, whose cost is that of a run of records.
    const int64_t points = budget.pointsFor(kindOf(renderer.largeFramePath(), false), allowed);
    if (content.drawUnder)
        content.drawUnder();
    const double pointsStarted = now();
    const LodFrame frame = lodFrame(points);
    renderer.begin(content.points, content.pointSize, cloudPoints(), content.view);
    renderer.addSegments(frame.segments.data(), frame.segments.size());
    renderer.finish();
    present(frame.complete, false, frame.points, now() - pointsStarted, started);
    if (buttonHeld() || frame.complete)
        return;
    LodFrame whole = lodFrame(-1);
    // Nodes still to come may leave the frame at rest no larger than the one just drawn.
    if (whole.points > frame.points)
        startWholeFrame(std::move(whole.segments), whole.complete);
}

void FrameScheduler::present(bool full, bool sampled, int64_t points, double pointSeconds,
                             double started) {
    if (content_.drawOver)
        content_.drawOver();
    glutSwapBuffers();
    const double seconds = now() - started;
    budget.record(kindOf(renderer.framePath(), sampled), points, pointSeconds, seconds);
    ++last_.serial;
    last_.full = full;
    last_.points = points;
    last_.seconds = seconds;
    if (presented)
        presented(last_);
}

void FrameScheduler::buttonChanged(int button, int state) {
    if (!isDragButton(button))
        return;
    const int bit = 1 << button;
    buttons_ = state == GLUT_DOWN ? buttons_ | bit : buttons_ & ~bit;
    if (state == GLUT_DOWN) {
        // The press's own frame (if it asks for one) or the next motion's is the fast one.
        ++generation_;
        pending_ = false;
    } else if (buttons_ == 0 && last_.serial > 0 && !last_.full && !pending_) {
        // The view is the last frame's: its frame at rest follows.
        if (!contentCurrent_) {
            glutPostRedisplay();
        } else if (content_.lod) {
            LodFrame whole = lodFrame(-1);
            if (whole.points > last_.points || whole.complete)
                startWholeFrame(std::move(whole.segments), whole.complete);
        } else {
            startWholeFrame({content_.shownRun()}, true);
        }
    }
}

void FrameScheduler::nodesArrived() {
    if (last_.serial == 0 || !content_.lod || buttonHeld() || !contentCurrent_) {
        glutPostRedisplay();
        return;
    }
    if (pending_) {
        arrivedMeanwhile_ = true;
        return;
    }
    LodFrame whole = lodFrame(-1);
    startWholeFrame(std::move(whole.segments), whole.complete);
}

void FrameScheduler::cancel() {
    ++generation_;
    pending_ = false;
    contentCurrent_ = false;
}

void FrameScheduler::startWholeFrame(std::vector<PointSegment> plan, bool complete) {
    pending_ = true;
    arrivedMeanwhile_ = false;
    plan_ = std::move(plan);
    planPoints_ = 0;
    for (const PointSegment& segment : plan_)
        planPoints_ += std::max<int64_t>(segment.count, 0);
    planComplete_ = complete;
    segment_ = 0;
    within_ = 0;
    drawn_ = 0;
    started_ = now();
    continuing = this;
    // A zero timer runs after the events already queued have been handled.
    glutTimerFunc(0, continueWholeFrame, generation_);
}

void FrameScheduler::continueWholeFrame(int generation) {
    if (continuing == nullptr)
        return;
    FrameScheduler& self = *continuing;
    if (generation != self.generation_ || !self.pending_ || self.buttonHeld())
        return;
    // Timers run with whichever window GLUT last had current.
    const int previous = glutGetWindow();
    glutSetWindow(self.window_);
    self.stepWholeFrame();
    if (previous && previous != self.window_)
        glutSetWindow(previous);
}

void FrameScheduler::stepWholeFrame() {
    const FrameContent& content = content_;
    if (drawn_ == 0) {
        content.view.load();
        if (content.drawUnder)
            content.drawUnder();
        renderer.begin(content.points, content.pointSize, cloudPoints(), content.view,
                       content.eyeDome);
    }
    // The next budget's worth of the plan's runs.
    std::vector<PointSegment> pass;
    int64_t left = std::min(planPoints_ - drawn_, frameBudget(false));
    const int64_t points = left;
    while (left > 0 && segment_ < plan_.size()) {
        const PointSegment& segment = plan_[segment_];
        const int64_t take = std::min(left, segment.count - within_);
        if (take > 0) {
            PointSegment part = segment;
            part.first = segment.first + within_;
            part.count = take;
            pass.push_back(part);
            within_ += take;
            left -= take;
        }
        if (within_ >= segment.count) {
            ++segment_;
            within_ = 0;
        }
    }
    const double passStarted = now();
    renderer.addSegments(pass.data(), pass.size());
    drawn_ += points;
    if (drawn_ < planPoints_) {
        // GL queues the pass: it must be drawn now, not all at once at the end.
        if (renderer.framePath() == PointPath::Gl)
            glFinish();
        const double seconds = now() - passStarted;
        budget.recordPass(kindOf(renderer.framePath(), false), points, seconds);
        glutTimerFunc(0, continueWholeFrame, generation_);
        return;
    }
    renderer.finish();
    const double seconds = now() - passStarted;
    budget.recordPass(kindOf(renderer.framePath(), false), points, seconds);
    pending_ = false;
    if (content.drawOver)
        content.drawOver();
    glutSwapBuffers();
    ++last_.serial;
    last_.full = planComplete_;
    last_.points = planPoints_;
    last_.seconds = now() - started_;
    if (presented)
        presented(last_);
    if (arrivedMeanwhile_)
        nodesArrived();
}
