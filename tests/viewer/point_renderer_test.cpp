// tests/viewer/point_renderer_test.cpp - the CPU raster against Mesa's GL_POINTS of size 1: the
// same pixels, the same point winning each, the same colours, over whatever was drawn before.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/point_renderer.h"
#include "viewer/point_set.h"
#include "viewer/scene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

class RasterAgainstGl : public GraphicsWindowTest {
protected:
    void SetUp() override { open("single_point.txt"); }

    // A perspective view with a turn, so that no axis lines up with the pixels.
    void setView(int width, int height, double aspect = 1.0) {
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, aspect, 0.1, 10000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(3, 2, -5, 3, 2, -100, 0, 1, 0);
        glTranslatef(-1, -2, -3);
        glRotatef(17, 1, 0, 0);
        glRotatef(33, 0, 1, 0);
        // The renderer takes GL's own matrices, as it is given the view GL draws through.
        glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, view.projection);
        glGetIntegerv(GL_VIEWPORT, view.viewport);
    }

    // The frame's RGBA after a red line under the points, drawn by the given path.
    Image draw(const PointSource& source, PointPath path) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_LINES);
        glColor3f(1, 0, 0);
        glVertex3f(-60, 0, -30);
        glVertex3f(60, 0, -30);
        glEnd();
        renderer.setLargeFramePath(path);
        renderer.begin(source, 1.0f, kSoftwareFrameMinimum, view);
        EXPECT_EQ(renderer.framePath(), path);
        // Two passes over the halves must give what one pass gives.
        renderer.addRange(0, source.count / 2);
        renderer.addRange(source.count / 2, source.count - source.count / 2);
        renderer.finish();
        Image image(400 * 400 * 4);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 400, 400, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
        return image;
    }

    // Pixels that differ in any channel by more than tolerance.
    int differingPixels(const Image& a, const Image& b, int tolerance = 0) {
        int differing = 0;
        for (size_t i = 0; i < a.size(); i += 4) {
            bool differs = false;
            for (int channel = 0; channel < 3; ++channel)
                differs |= std::abs(a[i + size_t(channel)] - b[i + size_t(channel)]) > tolerance;
            differing += differs;
        }
        return differing;
    }

    int litPixels(const Image& image) {
        int lit = 0;
        for (size_t i = 0; i < image.size(); i += 4)
            lit += image[i] != 0 || image[i + 1] != 0 || image[i + 2] != 0;
        return lit;
    }

    PointRenderer renderer;
    View view;
};

// Points in front of, across and behind the near plane, some off screen and some not finite.
std::vector<PointRecord> scatteredCloud(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> position(-60.0f, 60.0f), colour(0.0f, 1.0f);
    std::vector<PointRecord> points;
    for (int i = 0; i < count; ++i)
        points.push_back({position(random), position(random), position(random) - 25.0f,
                          colour(random), colour(random), colour(random)});
    points[7].x = NAN;
    points[8].z = INFINITY;
    return points;
}

} // namespace

// Sparse points: each pixel shows one point, so positions and colour rounding are compared
// alone, colours out of range included. Mesa rounds a colour to 8 bits one of two ways, by how
// it happens to batch the points (halfway steps go down on one of them, c x 65535 / 256): the
// raster rounds to nearest, and the two agree within a step.
TEST_F(RasterAgainstGl, SparsePointsLandOnTheSamePixelsInTheSameColours) {
    std::vector<PointRecord> points = scatteredCloud(60000, 1);
    points[10].r = -0.5f;
    points[11].g = 1.5f;
    points[12].b = INFINITY;
    // A window that isn't square, stretched or with its own aspect.
    const struct {
        int width, height;
        double aspect;
    } views[] = {{400, 400, 1.0}, {400, 300, 1.0}, {400, 300, 4.0 / 3.0}, {250, 400, 0.625}};
    for (const auto& [width, height, aspect] : views) {
        setView(width, height, aspect);
        const PointSource source = recordSource(points.data(), int64_t(points.size()));
        const Image byGl = draw(source, PointPath::Gl);
        const Image byRaster = draw(source, PointPath::Software);
        // A window coordinate exactly halfway between two sub-pixel steps may snap either way.
        EXPECT_LE(differingPixels(byGl, byRaster, 1), 5) << width << " x " << height;
        EXPECT_EQ(litPixels(byGl), litPixels(byRaster));
    }
}

// Dense points with colours that name them (8-bit values, which every rounding keeps), drawn
// over each other many times by both threads' halves: the later point must win every pixel.
TEST_F(RasterAgainstGl, LaterPointsCoverEarlierOnesAcrossThreads) {
    std::vector<PointRecord> points = scatteredCloud(400000, 2);
    std::vector<unsigned char> names(points.size() * 3);
    for (size_t i = 0; i < points.size(); ++i)
        for (int channel = 0; channel < 3; ++channel)
            names[i * 3 + size_t(channel)] = static_cast<unsigned char>(i >> (8 * channel));
    for (PointRecord& point : points) {
        point.x *= 0.3f;
        point.y *= 0.3f;
    }
    setView(400, 400);
    PointSource source = recordSource(points.data(), int64_t(points.size()));
    source.colours = names.data();
    source.colourType = PointSource::ByteRgb;
    source.colourStride = 3;
    const Image byGl = draw(source, PointPath::Gl);
    const Image byRaster = draw(source, PointPath::Software);
    // A window coordinate exactly halfway between two sub-pixel steps may snap either way.
    EXPECT_LE(differingPixels(byGl, byRaster), 5);
    EXPECT_GT(litPixels(byGl), 20000);
}

// The warm-up of the software path leaves the buffer as it was, and the measure of its cost
// is there for the software path alone.
TEST_F(RasterAgainstGl, WarmUpLeavesTheBufferAndMeasureIsForTheSoftwarePath) {
    setView(400, 400);
    const Image before = draw(PointSource{}, PointPath::Gl);
    renderer.setLargeFramePath(PointPath::Software);
    renderer.warmUp(1.0f, kSoftwareFrameMinimum);
    renderer.warmUp(1.0f, kSoftwareFrameMinimum - 1);
    renderer.warmUp(2.0f, kSoftwareFrameMinimum);
    Image after(400 * 400 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 400, 400, GL_RGBA, GL_UNSIGNED_BYTE, after.data());
    EXPECT_EQ(differingPixels(before, after), 0);
    EXPECT_GT(litPixels(after), 100) << "the red line";
    const double perPoint = renderer.measure();
    EXPECT_GT(perPoint, 0.0);
    EXPECT_LT(perPoint, 1e-5);
    renderer.setLargeFramePath(PointPath::Gl);
    EXPECT_EQ(renderer.measure(), 0.0);
}

TEST_F(RasterAgainstGl, LargePointsAndBlendingStayWithGl) {
    std::vector<PointRecord> points = scatteredCloud(1000, 3);
    const PointSource source = recordSource(points.data(), int64_t(points.size()));
    renderer.setLargeFramePath(PointPath::Software);
    renderer.begin(source, 3.0f, kSoftwareFrameMinimum, view);
    EXPECT_EQ(renderer.framePath(), PointPath::Gl);
    renderer.finish();
    glEnable(GL_BLEND);
    renderer.begin(source, 1.0f, kSoftwareFrameMinimum, view);
    EXPECT_EQ(renderer.framePath(), PointPath::Gl);
    renderer.finish();
    glDisable(GL_BLEND);
    renderer.begin(source, 1.0f, kSoftwareFrameMinimum - 1, view);
    EXPECT_EQ(renderer.framePath(), PointPath::Gl) << "a small cloud";
    renderer.finish();
}
