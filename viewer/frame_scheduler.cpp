// viewer/frame_scheduler.cpp - subset frames, whole frames in passes, and their timing.
#include "viewer/frame_scheduler.h"

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

// Points first to first + count of those the content draws.
void addPoints(PointRenderer& renderer, const FrameContent& content, int64_t first, int64_t count) {
    if (content.drawn != nullptr)
        renderer.addIndices(content.drawn + first, count);
    else
        renderer.addRange(first, count);
}

// Drag buttons only: the wheel's presses come with their releases at once.
bool isDragButton(int button) {
    return button == GLUT_LEFT_BUTTON || button == GLUT_MIDDLE_BUTTON ||
           button == GLUT_RIGHT_BUTTON;
}

} // namespace

int64_t FrameScheduler::frameBudget(bool sampled) const {
    return budget.pointsFor(kindOf(renderer.largeFramePath(), sampled), frameSeconds);
}

void FrameScheduler::prepare() {
    const double perPoint = renderer.measure();
    if (perPoint > 0.0)
        budget.assume(kindOf(PointPath::Software, false), perPoint);
}

void FrameScheduler::display(const FrameContent& content) {
    const double started = now();
    ++generation_;
    pending_ = false;
    content_ = content;
    window_ = glutGetWindow();
    const int64_t count = content.pointsDrawn();
    const double allowed =
        last_.serial == 0 && !buttonHeld() ? frameSeconds * kFirstFrameFrames : frameSeconds;
    content.view.load();
    if (count <= budget.pointsFor(kindOf(renderer.largeFramePath(), false), allowed)) {
        if (content.drawUnder)
            content.drawUnder();
        const double pointsStarted = now();
        renderer.begin(content.points, content.pointSize, content.points.count, content.view);
        addPoints(renderer, content, 0, count);
        renderer.finish();
        present(true, count, now() - pointsStarted, started);
        return;
    }

    subset_.sample(count, std::min(count - 1, subsetSizeFor(frameBudget(true))), content.drawn,
                   content.drawnVersion);
    if (content.drawUnder)
        content.drawUnder();
    const double pointsStarted = now();
    renderer.begin(content.points, content.pointSize, content.points.count, content.view);
    renderer.addIndices(subset_.indices(), subset_.size());
    renderer.finish();
    present(false, subset_.size(), now() - pointsStarted, started);
    if (!buttonHeld())
        startWholeFrame();
}

void FrameScheduler::present(bool full, int64_t points, double pointSeconds, double started) {
    if (content_.drawOver)
        content_.drawOver();
    glutSwapBuffers();
    const double seconds = now() - started;
    budget.record(kindOf(renderer.framePath(), !full), points, pointSeconds, seconds);
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
        startWholeFrame();
    }
}

void FrameScheduler::cancel() {
    ++generation_;
    pending_ = false;
}

void FrameScheduler::startWholeFrame() {
    pending_ = true;
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
    const int64_t count = content.pointsDrawn();
    if (drawn_ == 0) {
        content.view.load();
        if (content.drawUnder)
            content.drawUnder();
        renderer.begin(content.points, content.pointSize, content.points.count, content.view);
    }
    const int64_t pass = std::min(count - drawn_, frameBudget(false));
    const double passStarted = now();
    addPoints(renderer, content, drawn_, pass);
    drawn_ += pass;
    if (drawn_ < count) {
        // GL queues the pass: it must be drawn now, not all at once at the end.
        if (renderer.framePath() == PointPath::Gl)
            glFinish();
        const double seconds = now() - passStarted;
        budget.recordPass(kindOf(renderer.framePath(), false), pass, seconds);
        glutTimerFunc(0, continueWholeFrame, generation_);
        return;
    }
    renderer.finish();
    const double seconds = now() - passStarted;
    budget.recordPass(kindOf(renderer.framePath(), false), pass, seconds);
    pending_ = false;
    if (content.drawOver)
        content.drawOver();
    glutSwapBuffers();
    ++last_.serial;
    last_.full = true;
    last_.points = count;
    last_.seconds = now() - started_;
    if (presented)
        presented(last_);
}
