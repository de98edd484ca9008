// tests/viewer/viewer_fixture.cpp - GLUT set-up, the graphics window and projection helpers.
#include "tests/viewer/viewer_fixture.h"

#include "tests/support/scratch_dir.h"
#include "viewer/camera.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <fstream>
#include <utility>

int GraphicsWindowTest::displays = 0;
int GraphicsWindowTest::reshapes = 0;

namespace {

// Connects to the X server before any test runs and stays connected. Besides initialising GLUT
// once per process, this keeps the server from resetting, which it does whenever its last
// client leaves: a program started by a test would lose its connection if it connected just as
// another one (xdotool, an earlier program) left.
class GlutConnection : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(initGlutHoldingServer("viewer_test")); }
};

const auto* const connection = ::testing::AddGlobalTestEnvironment(new GlutConnection);

void loadPoints(const std::string& file) {
    viewer.pointSet.load((file[0] == '/' ? file : dataPath(file)).c_str());
}

} // namespace

std::string dataPath(const std::string& name) {
    return std::string(POINTILLIST_TEST_DATA_DIR) + "/" + name;
}

std::string writeCloud(const std::string& name, const std::vector<std::vector<double>>& records) {
    const std::string path = scratchDir() + name;
    std::ofstream out(path);
    out.precision(17);
    out << "# points = " << records.size() << "\n";
    for (const auto& record : records) {
        for (double value : record)
            out << value << " ";
        out << "\n";
    }
    return path;
}

void giveAttributes(PointAttributes attributes) {
    PointSet& set = viewer.pointSet;
    set.attributes = std::move(attributes);
    set.visibility.attach(set.attributes, set.count, set.hiddenAtStart);
}

void mouseDrag(int button, const std::vector<std::pair<int, int>>& path) {
    graphicsMouse(button, GLUT_DOWN, path.front().first, path.front().second);
    for (size_t i = 1; i < path.size(); ++i)
        graphicsMotion(path[i].first, path[i].second);
    graphicsMouse(button, GLUT_UP, path.back().first, path.back().second);
}

void mouseClick(int x, int y) {
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
}

View currentView() {
    return viewOf(viewer.viewState, viewer.pointSet);
}

WindowPoint project(double x, double y, double z) {
    const View view = currentView();
    WindowPoint p{};
    double depth = 0.0;
    gluProject(x, y, z, view.modelview, view.projection, view.viewport, &p.x, &p.y, &depth);
    return p;
}

void CameraTest::load(const std::string& file) {
    loadPoints(file);
    reshapeView(viewer.viewState, viewer.pointSet, 400, 400);
}

void CameraTest::TearDown() {
    resetViewer();
}

void GraphicsWindowTest::open(const std::string& file) {
    loadPoints(file);
    openWindow();
}

void GraphicsWindowTest::openWindow() {
    window = createGraphicsWindow();
    displays = reshapes = 0;
    glutDisplayFunc([] {
        ++displays;
        displayScene();
    });
    glutReshapeFunc([](int width, int height) {
        ++reshapes;
        reshapeScene(width, height);
    });
    ASSERT_TRUE(pumpUntil([] { return reshapes > 0 && displays > 0; }));
    // GLUT draws the first frame on its own, possibly before the Expose of the newly mapped
    // window arrives and asks for another. Asking the window's position is a round trip after
    // which that Expose is queued: handle it now, so that counts of displays see only the tests.
    glutGet(GLUT_WINDOW_X);
    glutMainLoopEvent();
}

void GraphicsWindowTest::TearDown() {
    viewer.frameScheduler.cancel();
    if (window)
        glutDestroyWindow(window);
    glutMainLoopEvent();
    resetViewer();
}

void GraphicsWindowTest::resize(int width, int height) {
    const int before = reshapes;
    glutReshapeWindow(width, height);
    ASSERT_TRUE(pumpUntil([&] {
        return reshapes > before && glutGet(GLUT_WINDOW_WIDTH) == width &&
               glutGet(GLUT_WINDOW_HEIGHT) == height;
    }));
}

void GraphicsWindowTest::redraw() {
    const int before = displays;
    glutPostRedisplay();
    ASSERT_TRUE(pumpUntil([&] { return displays > before; }));
}

Image backImage() {
    const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    Image image(size_t(width) * size_t(height) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    return image;
}

Rgb GraphicsWindowTest::pixel(int x, int y) {
    unsigned char rgb[3] = {};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

int64_t segmentPoints(const std::vector<PointSegment>& segments) {
    int64_t points = 0;
    for (const PointSegment& segment : segments)
        points += segment.count;
    return points;
}
