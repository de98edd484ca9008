// tests/e2e/viewer_session.cpp - starting the viewer, waiting for its pictures, keeping failures.
#include "tests/e2e/viewer_session.h"

#include "tests/support/polling.h"

#include <stdlib.h>

void ViewerSession::SetUp() {
    char pattern[] = "/tmp/pointillist-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
}

void ViewerSession::TearDown() {
    if (HasFailure() && viewer && viewer->running()) {
        keepScreenshot(graphics.capture(), testName() + "-graphics");
        keepScreenshot(controls.capture(), testName() + "-controls");
    }
    viewer.reset();
    runCommand("rm -rf '" + folder + "'");
}

std::string ViewerSession::testName() {
    return testing::UnitTest::GetInstance()->current_test_info()->name();
}

void ViewerSession::start(const std::vector<std::string>& arguments, const Condition& firstPicture,
                          const std::string& what) {
    std::vector<std::string> command = {POINTILLIST_EXECUTABLE};
    command.insert(command.end(), arguments.begin(), arguments.end());
    viewer = std::make_unique<Process>(command, StartOptions{folder});
    graphics = XWindow::find(graphicsTitle);
    controls = XWindow::find("Pointillist Controls");
    ASSERT_TRUE(graphics.valid()) << "no window titled \"" << graphicsTitle << "\" appeared";
    ASSERT_TRUE(controls.valid()) << "no window titled \"Pointillist Controls\" appeared";
    // The control window opens beside the graphics window; placed there again, the tests do
    // not depend on where it opened.
    controls.move(410, 0);
    ASSERT_TRUE(pollUntil([&] {
        int x = 0;
        controls.geometry(&x, nullptr, nullptr, nullptr);
        return x == 410;
    }));
    startScene = waitForScene(firstPicture, what);
}

Screenshot ViewerSession::waitFor(const XWindow& window, const Condition& condition,
                                  const std::string& what) {
    // A frame reaches the screen in strips, so a picture counts once two captures in a row
    // agree and show what is expected.
    Screenshot shot, previous;
    const bool seen = pollUntil([&] {
        previous = std::move(shot);
        shot = window.capture();
        return !shot.empty() && shot.differingPixels(previous) == 0 && condition(shot);
    });
    if (!seen) {
        const std::string path = keepScreenshot(shot, testName() + "-waiting");
        ADD_FAILURE() << "expected " << what << "; the screenshot (" << path << ") did not show it";
    }
    return shot;
}
