// tests/e2e/viewer_e2e_test.cpp - the real pointillist, driven from outside through the X server.
#include "tests/e2e/viewer_session.h"
#include "tests/support/polling.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

namespace {

constexpr int cloudPoints = TRIANGLE_POINTS;

// Where the panel's controls land in the control window. The root and the "Camera" panel have
// 6-pixel margins; the panel sits 3 pixels lower than the root's margin and has a 14-pixel top
// margin under its title; siblings are 3 pixels apart.
constexpr int controlLeft = 15;
constexpr int translateTop = 23;
constexpr int rotateTop = 39;
constexpr int checkboxTop = 66;
constexpr int resetViewCentreY = 194;
constexpr int quitCentreY = 217;

ColourPixels yellowPixels(const Screenshot& shot) {
    return pixelsOf(shot, YELLOW);
}

// The centre of a radio image is black only when the button is selected; the check mark
// crosses row 5 of the box at column 3 only when the box is checked.
bool radioSelected(const Screenshot& panel, int top) {
    return panel.isColour(controlLeft + 6, top + 6, BLACK);
}
bool checkboxChecked(const Screenshot& panel) {
    return panel.isColour(controlLeft + 3, checkboxTop + 5, BLACK);
}

class ViewerE2E : public ViewerSession {
protected:
    void SetUp() override {
        ViewerSession::SetUp();
        // The reference for later pictures must be the whole first frame, not a part of it.
        ASSERT_NO_FATAL_FAILURE(start(
            {TRIANGLE_CLOUD},
            [](const Screenshot& s) {
                return yellowPixels(s).count == cloudPoints && pixelsOf(s, RED).count > 10 &&
                       pixelsOf(s, GREEN).count > 10 && pixelsOf(s, BLUE).count > 3;
            },
            "the whole cloud and the axes drawn at start-up"));
        startPanel =
            waitForPanel([](const Screenshot& s) { return radioSelected(s, translateTop); },
                         "the panel with TRANSLATE selected");
    }

    void clickPanel(int x, int y) { controls.click(x, y); }
    void clickRotate() { clickPanel(controlLeft + 7, rotateTop + 7); }
    void clickCheckbox() { clickPanel(controlLeft + 6, checkboxTop + 6); }
    int panelCentreX() {
        int width = 0;
        controls.geometry(nullptr, nullptr, &width, nullptr);
        return width / 2;
    }

    Screenshot startPanel;
};

TEST_F(ViewerE2E, StartsWithCloudAxesAndPanelFittedToContent) {
    int width = 0, height = 0;
    graphics.geometry(nullptr, nullptr, &width, &height);
    EXPECT_EQ(400, width);
    EXPECT_EQ(400, height);
    EXPECT_EQ(cloudPoints, yellowPixels(startScene).count) << "every point is one yellow pixel";
    EXPECT_GT(pixelsOf(startScene, RED).count, 10) << "red x axis";
    EXPECT_GT(pixelsOf(startScene, GREEN).count, 10) << "green y axis";
    EXPECT_GT(pixelsOf(startScene, BLUE).count, 3) << "blue z axis";

    EXPECT_TRUE(radioSelected(startPanel, translateTop)) << "TRANSLATE selected";
    EXPECT_FALSE(radioSelected(startPanel, rotateTop)) << "ROTATE not selected";
    EXPECT_TRUE(checkboxChecked(startPanel)) << "\"show axis\" checked";

    // The window hugs the panel: 9 pixels of background (root margin plus centring) left of the
    // etched frame, and 8 right of and below its outer line, which lies on the panel's far edge
    // (the 3-pixel panel gap plus the root margin, less that line).
    const Screenshot& panel = startPanel;
    const Rgb background = panel.at(1, 1);
    auto isBackground = [&](int x, int y) { return panel.at(x, y) == background; };
    int middle = panel.height / 2;
    for (int x = 0; x < 9; ++x)
        EXPECT_TRUE(isBackground(x, middle)) << "left gap at x " << x;
    for (int x = panel.width - 8; x < panel.width; ++x)
        EXPECT_TRUE(isBackground(x, middle)) << "right gap at x " << x;
    EXPECT_FALSE(isBackground(9, middle)) << "frame's left edge";
    EXPECT_FALSE(isBackground(panel.width - 9, middle)) << "frame's right edge";
    for (int y = panel.height - 8; y < panel.height; ++y)
        EXPECT_TRUE(isBackground(panel.width / 2, y)) << "bottom gap at y " << y;
    EXPECT_FALSE(isBackground(panel.width / 2, panel.height - 9)) << "frame's bottom edge";
}

TEST_F(ViewerE2E, ShowAxisSwitchesTheAxesAtOnce) {
    clickCheckbox();
    Screenshot hidden = waitForScene(
        [](const Screenshot& s) { return pixelsOf(s, RED).count == 0; }, "no red axis");
    EXPECT_EQ(0, pixelsOf(hidden, GREEN).count);
    EXPECT_EQ(cloudPoints, yellowPixels(hidden).count);
    EXPECT_FALSE(checkboxChecked(controls.capture()));

    clickCheckbox();
    Screenshot shown = waitForScene([](const Screenshot& s) { return pixelsOf(s, RED).count > 10; },
                                    "the red axis back");
    EXPECT_EQ(0, shown.differingPixels(startScene)) << "the same picture as at start-up";
}

TEST_F(ViewerE2E, TranslateDragFollowsPointerAndRotateKeepsTranslation) {
    ColourPixels before = yellowPixels(startScene);

    // 16 pixels right and 8 down move the eye by -8 and +4 units. The cloud's plane lies
    // viewDistance (190.5) in front of the eye, where one unit is 400 / (2 tan 30° 190.5) = 1.82
    // pixels: the cloud follows the pointer by about 14.5 and 7.3 pixels, staying in view.
    graphics.drag(1, 200, 200, 216, 208);
    Screenshot moved =
        waitForScene([&](const Screenshot& s) { return yellowPixels(s).meanX > before.meanX + 8; },
                     "the cloud shifted right");
    ColourPixels translated = yellowPixels(moved);
    EXPECT_NEAR(14.5, translated.meanX - before.meanX, 1.5);
    EXPECT_NEAR(7.3, translated.meanY - before.meanY, 1.5);
    EXPECT_NEAR(before.maxX - before.minX, translated.maxX - translated.minX, 1) << "not turned";

    clickRotate();
    waitForPanel([](const Screenshot& s) { return radioSelected(s, rotateTop); },
                 "ROTATE selected");

    // 300 pixels down turn the cloud 30 degrees about x through its centroid: its height on
    // screen shrinks while the centroid stays where the translation put it.
    graphics.drag(1, 200, 50, 200, 350);
    Screenshot turned = waitForScene(
        [&](const Screenshot& s) {
            ColourPixels now = yellowPixels(s);
            return now.count > 0 &&
                   now.maxY - now.minY < (translated.maxY - translated.minY) * 0.95;
        },
        "the cloud turned");
    ColourPixels rotated = yellowPixels(turned);
    EXPECT_NEAR(translated.meanX, rotated.meanX, 6.0);
    EXPECT_NEAR(translated.meanY, rotated.meanY, 6.0);
    EXPECT_GT(std::abs(rotated.meanX - before.meanX), 10.0) << "translation kept";
}

TEST_F(ViewerE2E, ResetViewAndResizeRestoreTheStartImage) {
    graphics.drag(1, 100, 100, 160, 130);
    waitForScene([&](const Screenshot& s) { return s.differingPixels(startScene) > 0; },
                 "the cloud moved by the drag");

    clickPanel(panelCentreX(), resetViewCentreY);
    Screenshot reset =
        waitForScene([&](const Screenshot& s) { return s.differingPixels(startScene) == 0; },
                     "the start-up image after Reset View");
    EXPECT_EQ(0, reset.differingPixels(startScene));

    graphics.drag(3, 200, 200, 200, 260);
    waitForScene([&](const Screenshot& s) { return s.differingPixels(startScene) > 0; },
                 "the eye moved by a right drag");
    graphics.resize(420, 400);
    pollUntil([&] {
        int width = 0;
        graphics.geometry(nullptr, nullptr, &width, nullptr);
        return width == 420;
    });
    graphics.resize(400, 400);
    Screenshot resized =
        waitForScene([&](const Screenshot& s) { return s.differingPixels(startScene) == 0; },
                     "the start-up image after resizing");
    EXPECT_EQ(0, resized.differingPixels(startScene));
}

TEST_F(ViewerE2E, QuitEndsWithStatusZeroAndSaysNothing) {
    clickPanel(panelCentreX(), quitCentreY);
    EXPECT_EQ(0, viewer->wait());
    EXPECT_EQ("", viewer->standardOutput());
    EXPECT_EQ("", viewer->standardError());
}

TEST_F(ViewerE2E, IdleViewerUsesNoProcessor) {
    double before = viewer->cpuSeconds();
    auto start = std::chrono::steady_clock::now();
    const auto quiet = std::chrono::seconds(3);
    pollUntil([&] { return std::chrono::steady_clock::now() - start >= quiet; },
              quiet + std::chrono::seconds(1));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double share = (viewer->cpuSeconds() - before) / seconds;
    EXPECT_LT(share, 0.02) << "an idle viewer used " << share * 100 << " % of a core";
}

// --size opens the graphics window at that size, and the control window opens just right of it
// with their top edges level, covering none of the picture.
TEST(ViewerE2EStartup, SizedWindowWithTheControlsBesideIt) {
    for (auto [width, height] : {std::pair{400, 400}, {640, 300}}) {
        SCOPED_TRACE(width);
        std::vector<std::string> command = {POINTILLIST_EXECUTABLE, TRIANGLE_CLOUD};
        if (width != 400)
            command.insert(command.begin() + 1,
                           {"--size", std::to_string(width) + "x" + std::to_string(height)});
        Process viewer(command);
        const XWindow graphics = XWindow::find("Pointillist");
        const XWindow controls = XWindow::find("Pointillist Controls");
        ASSERT_TRUE(graphics.valid() && controls.valid()) << "the windows did not appear";
        int x = -1, y = -1, w = 0, h = 0, controlsX = -1, controlsY = -1;
        EXPECT_TRUE(pollUntil([&] {
            graphics.geometry(&x, &y, &w, &h);
            controls.geometry(&controlsX, &controlsY, nullptr, nullptr);
            return w == width && h == height && controlsX > 0;
        }));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_GE(controlsX, x + w) << "the controls over the picture";
        EXPECT_LE(controlsX, x + w + 20) << "the controls far from the picture";
        EXPECT_EQ(controlsY, y);
        const Screenshot picture = graphics.capture();
        EXPECT_EQ(picture.width, width);
        EXPECT_EQ(picture.height, height);
    }
}

} // namespace
