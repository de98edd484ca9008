// tests/viewer/eye_dome_test.cpp - eye-dome lighting: the shade's formula, depth edges darkened
// and flat regions kept, on both drawing paths alike, and nothing changed with it off.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/eye_dome.h"
#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/point_renderer.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float FAR = std::numeric_limits<float>::infinity();

// One channel's value after shading grey 200 by the given log depths of a 3 x 3 picture, at
// its middle pixel.
int shadedMiddle(const std::vector<float>& logDepth, float strength) {
    std::vector<uint32_t> rgba(9, 0xffc8c8c8u);
    shadeByDepth(rgba.data(), logDepth.data(), 3, 3, strength);
    return static_cast<int>(rgba[4] & 0xff);
}

} // namespace

// shade = exp(-300 strength mean), the mean over 8 neighbours of how much nearer each is in
// log2 of depth; farther neighbours, the background and the picture's edge count nothing.
TEST(EyeDomeShade, MeanOfNearerNeighboursInLogDepth) {
    const float s = 0.01f;
    const struct {
        std::vector<float> depth;
        float strength;
        int expected;
    } cases[] = {
        {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 1.0f, 200},           // flat: as it was
        {{1, 1, 1, 1, 1, 1, 1, 1, 0.5f}, s, 166},           // 200 exp(-3 x 0.5 / 8)
        {{0.5f, 1, 1, 1, 1, 1, 1, 1, 0.5f}, s, 137},        // two nearer
        {{FAR, FAR, FAR, FAR, 1, FAR, 2, 3, 1.5f}, s, 200}, // farther and background
        {{1, 1, 1, 1, 1, 1, 1, 1, 0.5f}, s * 2, 137},       // twice the strength
        {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 1.0f, 0},             // far behind everything
        {{0, 0, 0, 0, FAR, 0, 0, 0, 0}, 1.0f, 200},         // the background keeps its colour
    };
    for (const auto& c : cases)
        EXPECT_EQ(shadedMiddle(c.depth, c.strength), c.expected)
            << c.depth[0] << " " << c.depth[8] << " " << c.strength;

    // A pixel on the picture's edge has fewer neighbours, but still divides by 8.
    std::vector<uint32_t> rgba(4, 0xffc8c8c8u);
    const std::vector<float> depth = {1, 0.5f, 0.5f, 0.5f};
    shadeByDepth(rgba.data(), depth.data(), 2, 2, s);
    EXPECT_EQ(rgba[0] & 0xff, 200u * 0 + static_cast<uint32_t>(200 * std::exp(-3 * 1.5 / 8) + 0.5));
    EXPECT_EQ(rgba[1], 0xffc8c8c8u) << "alpha and the nearer pixels stay";
}

namespace {

// A plane of grey points facing the eye at depth 10, and a smaller square of them nearer, at
// depth 8, in front of its middle: every pixel of both is covered.
class EyeDomeFrame : public GraphicsWindowTest {
protected:
    void SetUp() override {
        open("single_point.txt");
        for (int layer = 0; layer < 2; ++layer) {
            const float half = layer == 0 ? 2.0f : 0.75f, z = layer == 0 ? -10.0f : -8.0f;
            for (float x = -half; x <= half; x += 0.01f)
                for (float y = -half; y <= half; y += 0.01f)
                    points.push_back({x, y, z, 0.5f, 0.75f, 1.0f});
        }
        glViewport(0, 0, 400, 400);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, 1.0, 0.1, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, view.projection);
        glGetIntegerv(GL_VIEWPORT, view.viewport);
    }

    // The frame's RGB after the points by the given path over a red background.
    std::vector<unsigned char> draw(PointPath path, float eyeDome) {
        glClearColor(1, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        renderer.setLargeFramePath(path);
        renderer.begin(recordSource(points.data(), int64_t(points.size())), 1.0f,
                       kSoftwareFrameMinimum, view, eyeDome);
        EXPECT_EQ(renderer.framePath(), path);
        // In two passes, as a whole frame is drawn.
        const int64_t half = int64_t(points.size()) / 2;
        renderer.addRange(0, half);
        renderer.addRange(half, int64_t(points.size()) - half);
        renderer.finish();
        return readBackBuffer(400, 400);
    }

    // Where a point at (x, y) at depth d lands on the 400-pixel side.
    static double pixelOf(double coordinate, double depth) {
        return 200.0 + 200.0 * coordinate / (depth * std::tan(M_PI / 6));
    }

    std::vector<PointRecord> points;
    PointRenderer renderer;
    View view;
};

} // namespace

// The far plane's pixels next to the near square go dark; every other pixel, on the flat
// regions, the near square's own edge and next to the background, stays as it was. Both paths.
TEST_F(EyeDomeFrame, DarkensDepthEdgesAndKeepsFlatRegions) {
    const double nearLow = pixelOf(-0.75, 8), nearHigh = pixelOf(0.75, 8);
    for (PointPath path : {PointPath::Software, PointPath::Gl}) {
        SCOPED_TRACE(path == PointPath::Gl ? "GL" : "software");
        const std::vector<unsigned char> plain = draw(path, 0.0f);
        const std::vector<unsigned char> shaded = draw(path, 1.0f);
        int darkened = 0, kept = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) {
                const size_t at = (size_t(y) * 400 + size_t(x)) * 3;
                const bool same = shaded[at] == plain[at] && shaded[at + 1] == plain[at + 1] &&
                                  shaded[at + 2] == plain[at + 2];
                // Within a pixel outside the near square's outline.
                const double dx = std::max(nearLow - (x + 0.5), (x + 0.5) - nearHigh);
                const double dy = std::max(nearLow - (y + 0.5), (y + 0.5) - nearHigh);
                const bool ring = std::max(dx, dy) > 0.0 && std::max(dx, dy) < 1.6;
                if (same) {
                    ++kept;
                    continue;
                }
                ++darkened;
                EXPECT_TRUE(ring) << x << ", " << y;
                EXPECT_LT(shaded[at + 2], plain[at + 2] / 4) << x << ", " << y;
            }
        // The ring round the square's 65 pixels a side.
        EXPECT_GT(darkened, 4 * 64);
        EXPECT_LT(darkened, 4 * 68);
        EXPECT_EQ(kept + darkened, 400 * 400);
    }
}

// The same frame on both paths: the same pixels, shaded alike within a step.
TEST_F(EyeDomeFrame, BothPathsShadeAlike) {
    // Turned, so that depths vary across the planes, and gently, so that shades vary too.
    glMatrixMode(GL_MODELVIEW);
    glRotatef(40, 1, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview);
    const std::vector<unsigned char> bySoftware = draw(PointPath::Software, 0.2f);
    const std::vector<unsigned char> byGl = draw(PointPath::Gl, 0.2f);
    int differing = 0, between = 0;
    for (size_t i = 0; i < byGl.size(); i += 3) {
        bool differs = false;
        for (size_t channel = 0; channel < 3; ++channel)
            differs |= std::abs(int(byGl[i + channel]) - int(bySoftware[i + channel])) > 1;
        differing += differs;
        // Neither the background nor the colour as drawn: shaded part way.
        between += byGl[i + 2] > 10 && byGl[i + 2] < 250 && byGl[i] != 255;
    }
    EXPECT_LE(differing, 5);
    EXPECT_GT(between, 1000);
}

// With eye-dome lighting off, the frames are those of before it: the key turns it on and off.
TEST_F(EyeDomeFrame, KeyTurnsItOnAndOffAgain) {
    viewer.displaySettings.background = Background::White;
    redraw();
    const std::vector<unsigned char> before = readBackBuffer(400, 400);
    graphicsKey('e', 0, 0);
    EXPECT_TRUE(viewer.displaySettings.eyeDome);
    redraw();
    graphicsKey('e', 0, 0);
    redraw();
    EXPECT_EQ(readBackBuffer(400, 400), before);
}
