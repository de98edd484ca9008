// tests/e2e/navigation_e2e_test.cpp - the real pointillist's wheel, double-click, keys and
// screenshots, driven from outside through the X server.
#include "tests/e2e/viewer_session.h"
#include "tests/support/polling.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool yellowNear(const Screenshot& shot, int x, int y, int within) {
    for (int dy = -within; dy <= within; ++dy)
        for (int dx = -within; dx <= within; ++dx)
            if (x + dx >= 0 && y + dy >= 0 && x + dx < shot.width && y + dy < shot.height &&
                shot.isColour(x + dx, y + dy, YELLOW))
                return true;
    return false;
}

// Pixels down from (x, y) to the next yellow point: the grid's spacing on screen there.
int gapBelow(const Screenshot& shot, int x, int y) {
    for (int dy = 4; y + dy < shot.height; ++dy)
        if (yellowNear(shot, x, y + dy, 1))
            return dy;
    return -1;
}

// The yellow pixel farthest from the point (x, y).
std::pair<int, int> farthestYellow(const Screenshot& shot, double x, double y) {
    std::pair<int, int> best{-1, -1};
    double bestDistance = -1;
    for (int py = 0; py < shot.height; ++py)
        for (int px = 0; px < shot.width; ++px)
            if (shot.isColour(px, py, YELLOW) && std::hypot(px - x, py - y) > bestDistance) {
                bestDistance = std::hypot(px - x, py - y);
                best = {px, py};
            }
    return best;
}

// A PNG's pixels as RGB rows from the top, as a screenshot holds them.
Screenshot readPng(const std::string& path) {
    Screenshot shot;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return shot;
    image.format = PNG_FORMAT_RGB;
    shot.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, shot.rgb.data(), 0, nullptr))
        return {};
    shot.width = static_cast<int>(image.width);
    shot.height = static_cast<int>(image.height);
    return shot;
}

// Each test starts the viewer itself, with its own arguments.
class NavigationE2E : public ViewerSession {
protected:
    static bool wholeTriangle(const Screenshot& s) {
        return pixelsOf(s, YELLOW).count == TRIANGLE_POINTS;
    }
};

} // namespace

TEST_F(NavigationE2E, WheelZoomsTowardsThePointerAndBackAgain) {
    ASSERT_NO_FATAL_FAILURE(start({TRIANGLE_CLOUD}, wholeTriangle));
    const ColourPixels before = pixelsOf(startScene, YELLOW);
    // A point well off the centre, so that a zoom towards the middle would move it.
    const auto [x, y] = farthestYellow(startScene, 200, 200);
    const int gap = gapBelow(startScene, x, y);
    graphics.wheel(x, y, 3);
    // Three notches of 10 % each: the spacing grows by 1 / 0.9^3.
    const Screenshot zoomed = waitForScene(
        [&](const Screenshot& s) { return gapBelow(s, x, y) > gap * 1.3; }, "the cloud larger");
    EXPECT_TRUE(yellowNear(zoomed, x, y, 2)) << "the point stayed under the pointer";
    EXPECT_NEAR(gapBelow(zoomed, x, y), gap / 0.729, 2.0);

    graphics.wheel(x, y, -3);
    const Screenshot back = waitForScene(
        [&](const Screenshot& s) {
            const ColourPixels now = pixelsOf(s, YELLOW);
            return std::abs((now.maxX - now.minX) - (before.maxX - before.minX)) <= 1;
        },
        "the cloud its first size");
    EXPECT_NEAR(pixelsOf(back, YELLOW).meanX, before.meanX, 1.0);
}

TEST_F(NavigationE2E, DoubleClickedPointStaysPutWhileTheCloudTurns) {
    ASSERT_NO_FATAL_FAILURE(start({TRIANGLE_CLOUD}, wholeTriangle));
    controls.click(15 + 7, 39 + 7); // ROTATE
    const ColourPixels before = pixelsOf(startScene, YELLOW);
    const auto [x, y] = farthestYellow(startScene, before.meanX, before.meanY);
    graphics.doubleClick(x, y);
    graphics.drag(1, 200, 100, 200, 300); // 20 degrees about x
    const Screenshot turned = waitForScene(
        [&](const Screenshot& s) {
            const ColourPixels now = pixelsOf(s, YELLOW);
            return now.count > 0 && now.maxY - now.minY < (before.maxY - before.minY) * 0.97;
        },
        "the cloud turned");
    EXPECT_TRUE(yellowNear(turned, x, y, 1)) << "the picked point at (" << x << ", " << y << ")";
    EXPECT_GT(std::abs(pixelsOf(turned, YELLOW).meanY - before.meanY), 3.0) << "the rest moved";
}

TEST_F(NavigationE2E, KeyScreenshotHoldsTheWindowAndQuitSaysNothingElse) {
    ASSERT_NO_FATAL_FAILURE(start({TRIANGLE_CLOUD}, wholeTriangle));
    graphics.key("plus");
    const Screenshot bigger =
        waitForScene([](const Screenshot& s) { return pixelsOf(s, YELLOW).count == 231 * 4; },
                     "points two pixels across");
    graphics.key("s");
    ASSERT_TRUE(pollUntil([&] { return !viewer->standardOutput().empty(); }));
    const std::string path = folder + "/pointillist-1.png";
    EXPECT_EQ(viewer->standardOutput(), path + "\n");
    const Screenshot saved = readPng(path);
    EXPECT_EQ(0, saved.differingPixels(bigger));
    graphics.key("s");
    ASSERT_TRUE(pollUntil([&] { return access((folder + "/pointillist-2.png").c_str(), 0) == 0; }));
    graphics.key("Escape");
    EXPECT_EQ(0, viewer->wait());
    EXPECT_EQ(viewer->standardOutput(), path + "\n" + folder + "/pointillist-2.png\n");
    EXPECT_EQ(viewer->standardError(), "");
}

TEST_F(NavigationE2E, ScreenshotOptionSavesWhatTheWindowShows) {
    const std::vector<std::string> settings = {"--point-size", "3",       "--background",
                                               "white",        "--color", "height"};
    std::vector<std::string> arguments = settings;
    arguments.push_back(TRIANGLE_CLOUD);
    ASSERT_NO_FATAL_FAILURE(start(arguments, [](const Screenshot& s) {
        return pixelsOf(s, WHITE).count < 400 * 400 - 231 * 9 + 100 &&
               pixelsOf(s, GREEN).count > 231; // a flat cloud is green on the ramp
    }));
    graphics.key("q");
    EXPECT_EQ(0, viewer->wait());

    arguments.insert(arguments.begin(), {POINTILLIST_EXECUTABLE, "--screenshot", "thumbnail.png"});
    Process thumbnail(arguments, StartOptions{folder});
    EXPECT_EQ(0, thumbnail.wait());
    EXPECT_EQ("", thumbnail.standardOutput());
    EXPECT_EQ(0, readPng(folder + "/thumbnail.png").differingPixels(startScene));
}

// Outside the native point file a TRANSLATE drag keeps the cloud under the pointer, however
// large it is; p switches to the fixed 0.5 units a pixel.
TEST_F(NavigationE2E, TranslateFollowsThePointerOutsidePointFilesAndPSwitches) {
    // The test triangle ten times as large, as column text: 2000 units across.
    const std::string path = folder + "/triangle.xyz";
    std::ofstream out(path);
    for (int x = 0; x <= 200; x += 10)
        for (int y = 0; x + y <= 200; y += 10)
            out << x * 10 << " " << y * 10 << " 0 255 255 0\n";
    out.close();
    ASSERT_NO_FATAL_FAILURE(start({path}, wholeTriangle));
    const double before = pixelsOf(startScene, YELLOW).meanX;
    graphics.drag(1, 200, 200, 230, 200);
    const Screenshot followed =
        waitForScene([&](const Screenshot& s) { return pixelsOf(s, YELLOW).meanX > before + 20; },
                     "the cloud moved with the pointer");
    const double after = pixelsOf(followed, YELLOW).meanX;
    EXPECT_NEAR(after - before, 30, 1.5);

    // Fixed: 15 units, under 3 pixels at this size.
    graphics.key("p");
    graphics.drag(1, 200, 200, 230, 200);
    const Screenshot fixed =
        waitForScene([&](const Screenshot& s) { return pixelsOf(s, YELLOW).meanX > after + 1; },
                     "the cloud moved a little");
    EXPECT_NEAR(pixelsOf(fixed, YELLOW).meanX - after, 15 * (400 / 1.1) / 2000, 1.0);
}
