// tests/e2e/query_e2e_test.cpp - the real pointillist's point query and measurement, driven by
// double-clicks and keys through the X server, on a georeferenced LAS tile.
#include "tests/e2e/viewer_session.h"
#include "tests/support/polling.h"
#include "tests/support/small_las.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr Rgb MAGENTA{255, 0, 255};
// None of them a colour of the axes, which the window shows too.
constexpr Rgb ORANGE{255, 128, 0}, CYAN{0, 255, 255}, PINK{255, 128, 255};

// Three points 1000 m apart east, then north and 40 m up, each of its own colour, and a white
// one between them; far from the origin, so the viewer shifts them.
SmallLas tile() {
    SmallLas las;
    las.offset[0] = 500000.0, las.offset[1] = 4000000.0, las.offset[2] = 100.0;
    las.points = {{12345, 67890, 1234, 65535, 32896, 0},
                  {112345, 67890, 1234, 0, 65535, 65535},
                  {112345, 167890, 5234, 65535, 32896, 65535},
                  {62345, 117890, 1234, 65535, 65535, 65535}};
    return las;
}

int magentaWithin(const Screenshot& shot, int x, int y, int within) {
    int count = 0;
    for (int dy = -within; dy <= within; ++dy)
        for (int dx = -within; dx <= within; ++dx)
            if (x + dx >= 0 && y + dy >= 0 && x + dx < shot.width && y + dy < shot.height)
                count += shot.isColour(x + dx, y + dy, MAGENTA);
    return count;
}

class QueryE2E : public ViewerSession {
protected:
    void SetUp() override {
        ViewerSession::SetUp();
        ASSERT_TRUE(las.write(folder + "/tile.las"));
        ASSERT_NO_FATAL_FAILURE(start({folder + "/tile.las"}, [](const Screenshot& s) {
            return pixelsOf(s, ORANGE).count > 0 && pixelsOf(s, CYAN).count > 0 &&
                   pixelsOf(s, PINK).count > 0;
        }));
        for (Rgb colour : {ORANGE, CYAN, PINK}) {
            const ColourPixels at = pixelsOf(startScene, colour);
            places.push_back(
                {static_cast<int>(std::lround(at.meanX)), static_cast<int>(std::lround(at.meanY))});
        }
    }

    SmallLas las = tile();
    std::vector<std::pair<int, int>> places; // orange, cyan, pink on the screen
};

} // namespace

// The box's lines are checked against the file in the viewer tests; here the real program
// shows the cross and the box beside the picked point and takes them away again.
TEST_F(QueryE2E, DoubleClickMarksThePointWithItsBox) {
    const auto [x, y] = places[2];
    graphics.doubleClick(x, y);
    const Screenshot marked = waitForScene(
        [&](const Screenshot& s) { return magentaWithin(s, x, y, 8) > 10; }, "the cross");
    // The box's white text beside the cross: on the side with room, the window's corner here.
    int text = 0;
    for (int py = std::max(0, y - 100); py < std::min(marked.height, y + 100); ++py)
        for (int px = std::max(0, x - 150); px < std::min(marked.width, x + 150); ++px)
            text += marked.isColour(px, py, WHITE);
    EXPECT_GT(text, 50) << keepScreenshot(marked, testName() + "-marked");
    EXPECT_GT(pixelsOf(marked, MAGENTA).count, magentaWithin(marked, x, y, 8) + 50)
        << "the box's outline";

    graphics.doubleClick(3, 3);
    waitForScene([](const Screenshot& s) { return pixelsOf(s, MAGENTA).count == 0; },
                 "the mark gone after a double-click on nothing");
}

// The length printed is the one of the file's own coordinates.
TEST_F(QueryE2E, MeasurementPrintsItsTrueLength) {
    auto at = [&](int i, int axis) { return las.coordinate(las.points[size_t(i)], axis); };
    double length = 0.0, last[3] = {};
    for (int i = 0; i < 2; ++i) {
        for (int axis = 0; axis < 3; ++axis)
            last[axis] = at(i + 1, axis) - at(i, axis);
        length += std::sqrt(last[0] * last[0] + last[1] * last[1] + last[2] * last[2]);
    }
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "measure: 3 points, length %.2f, last segment %.2f (horizontal %.2f, vertical "
                  "%.2f)\n",
                  length, std::sqrt(last[0] * last[0] + last[1] * last[1] + last[2] * last[2]),
                  std::hypot(last[0], last[1]), std::abs(last[2]));

    graphics.key("m");
    for (const auto& [x, y] : places) {
        const int before = pixelsOf(graphics.capture(), MAGENTA).count;
        graphics.doubleClick(x, y);
        // Each vertex draws more: its cross, then a segment and a box.
        waitForScene([&](const Screenshot& s) { return pixelsOf(s, MAGENTA).count > before; },
                     "the vertex at " + std::to_string(x) + ", " + std::to_string(y));
    }
    graphics.key("m");
    EXPECT_TRUE(pollUntil([&] { return !viewer->standardOutput().empty(); }));
    EXPECT_EQ(viewer->standardOutput(), expected);
    graphics.key("Escape");
    EXPECT_EQ(0, viewer->wait());
}
