// tests/e2e/viewer_session.h - one run of the real pointillist for an end-to-end test: started
// in a folder of its own, its two windows found and set apart, pictures awaited, and the
// screenshots of a failure kept.
#pragma once

#include "tests/e2e/x11_session.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The test cloud: 231 yellow points on a right triangle in the plane z = 0, x and y from 0 to
// 200 in steps of 10, so the centroid (66.7, 66.7) lies off the centre of its box.
inline const std::string TRIANGLE_CLOUD =
    std::string(POINTILLIST_TEST_DATA_DIR) + "/e2e_triangle.txt";
inline constexpr int TRIANGLE_POINTS = 231;

class ViewerSession : public testing::Test {
protected:
    using Condition = std::function<bool(const Screenshot&)>;

    void SetUp() override;
    void TearDown() override;

    // Starts the viewer in the test's folder with these arguments, finds both windows, moves
    // the control window aside and waits for the first picture that meets firstPicture.
    void start(const std::vector<std::string>& arguments, const Condition& firstPicture,
               const std::string& what = "the first picture");

    // A picture of the window that meets the condition; on none within the limit, a failure
    // that names what was expected and keeps the last screenshot.
    Screenshot waitFor(const XWindow& window, const Condition& condition, const std::string& what);
    Screenshot waitForScene(const Condition& c, const std::string& what) {
        return waitFor(graphics, c, what);
    }
    Screenshot waitForPanel(const Condition& c, const std::string& what) {
        return waitFor(controls, c, what);
    }

    static std::string testName();

    std::string folder;
    // The graphics window's title: the viewer's own, or with a scene's number of files.
    std::string graphicsTitle = "Pointillist";
    std::unique_ptr<Process> viewer;
    XWindow graphics, controls;
    Screenshot startScene;
};
