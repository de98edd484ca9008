// tests/controls/widgets/panel_test.cpp - a panel's frames and title on the screen, its size, and
// how renaming it in a window resizes the window.
#include "tests/controls/toolkit_fixture.h"

#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

#include <string>

class PanelTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = makeWindow();
    }
    // Pixels of a panel's rectangle including its right and bottom lines.
    std::vector<std::vector<Rgb>> framePixels(Panel* panel) {
        return readRect(window, panel->x, panel->y, panel->width + 1, panel->height + 1);
    }
    ControlWindow* window = nullptr;
};

TEST_F(PanelTest, BorderStylesDrawTheirFrames) {
    const Rgb B = BACKGROUND;
    const struct {
        int style;
        Rgb top, belowTop, left, rightOfLeft, right, rightmost, bottom, lowest;
    } cases[] = {
        // Etched: grey lines with white just right of or below them.
        {BORDER_ETCHED, GREY, WHITE, GREY, WHITE, GREY, WHITE, GREY, WHITE},
        {BORDER_RAISED, WHITE, BACKGROUND, WHITE, BACKGROUND, BACKGROUND, GREY, BACKGROUND, GREY},
        {BORDER_NONE, B, B, B, B, B, B, B, B},
        {7, B, B, B, B, B, B, B, B},
    };
    std::vector<Panel*> panels;
    for (const auto& c : cases) {
        panels.push_back(window->addPanel("", c.style));
        addSwatch(window, panels.back(), 60, 20);
    }
    ASSERT_TRUE(show(window));
    for (size_t i = 0; i < panels.size(); ++i) {
        const auto& c = cases[i];
        const auto rows = framePixels(panels[i]);
        const int w = panels[i]->width, h = panels[i]->height, mx = w / 2, my = h / 2;
        const struct {
            int x, y;
            Rgb want;
        } probes[] = {{mx, 0, c.top},        {mx, 1, c.belowTop},  {0, my, c.left},
                      {1, 3, c.rightOfLeft}, {w - 1, my, c.right}, {w, my, c.rightmost},
                      {mx, h - 1, c.bottom}, {mx, h, c.lowest}};
        for (const auto& p : probes)
            EXPECT_TRUE(nearColour(rows[p.y][p.x], p.want))
                << "style " << c.style << " at " << p.x << "," << p.y << ": " << rows[p.y][p.x];
        EXPECT_EQ(panels[i]->topMargin, 6);
        EXPECT_EQ(rows[6][6], RED) << "children are drawn in every style";
    }
    EXPECT_EQ(pixel(window, 0, 0), BACKGROUND); // the root panel has no frame
}

TEST_F(PanelTest, TitleSitsInAGapOfAnEtchedFrameStartingFourPixelsDown) {
    Panel* panel = window->addPanel("Camera", BORDER_ETCHED);
    Swatch* child = addSwatch(window, panel, 80, 20);
    ASSERT_TRUE(show(window));
    const int titleWidth = bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, "Camera");
    EXPECT_EQ(panel->topMargin, 14);
    EXPECT_EQ(child->y, panel->y + 14);
    const auto rows = framePixels(panel);
    const int right = panel->width - 1;
    EXPECT_TRUE(nearColour(rows[4][2], GREY));               // frame left of the title
    EXPECT_TRUE(nearColour(rows[4][titleWidth + 12], GREY)); // and right of it
    EXPECT_TRUE(nearColour(rows[5][right - 5], WHITE));
    EXPECT_EQ(rows[0][right - 5], BACKGROUND); // nothing above the frame
    int textPixels = 0, lowest = 0, leftmost = 1000;
    // The quad's edges run through pixel centres; check inside them.
    for (int y = 1; y <= 8; ++y)
        for (int x = 5; x < titleWidth + 10; ++x) {
            const Rgb p = rows[y][x];
            // glColor3b(0, 0, 0) is 1/255 in OpenGL's signed-byte mapping: near black.
            ASSERT_TRUE(p == BACKGROUND || nearColour(p, BLACK)) << x << "," << y << " " << p;
            if (!(p == BACKGROUND)) {
                ++textPixels;
                lowest = std::max(lowest, y);
                leftmost = std::min(leftmost, x);
            }
        }
    EXPECT_GT(textPixels, 20);
    EXPECT_EQ(lowest, 8); // baseline at y = 8
    EXPECT_GE(leftmost, 7);
}

TEST_F(PanelTest, RenamingWidensToTitleOnlyAndGrowsTheWindow) {
    Panel* raised = window->addPanel("A raised panel with a long name", BORDER_RAISED);
    EXPECT_EQ(raised->width, raised->textWidth(raised->name) + 16);
    EXPECT_EQ(raised->topMargin, 6); // a title sits only in an etched frame
    Panel* panel = window->addPanel("Cam", BORDER_ETCHED);
    addSwatch(window, panel, 60, 20);
    const int wide = panel->width;
    panel->setName("Camera"); // no narrower than its children
    EXPECT_EQ(panel->width, wide);
    ASSERT_TRUE(show(window));
    panel->setName("A title much longer than the panel's content");
    const int wanted = panel->textWidth(panel->name) + 16 + 18;
    EXPECT_GT(wanted, wide + 18);
    EXPECT_EQ(window->contentWidth, wanted);
    const int id = window->windowId;
    EXPECT_TRUE(pumpUntil([&] { return windowSize(id).first == wanted; }));
}

TEST_F(PanelTest, AddPanelFailsWithoutParentOrMemoryAndLinksNothing) {
    Panel* root = window->root;
    EXPECT_EQ(window->addPanel(nullptr, "orphan", BORDER_ETCHED), nullptr);
    failNothrowAllocation(1);
    EXPECT_EQ(window->addPanel("no memory", BORDER_ETCHED), nullptr);
    EXPECT_EQ(root->firstChild, nullptr);
    Panel* made = window->addPanel("made", BORDER_RAISED);
    EXPECT_EQ(root->firstChild, made);
    EXPECT_EQ(made->userId, -1);
    EXPECT_EQ(made->intValue, BORDER_RAISED);
}
