// tests/viewer/viewer_fixture.h - shared helpers of the viewer tests: test data, the graphics
// window under a real X server, projection of scene points and the real executables.
#pragma once

#include "io/point_attributes.h"
#include "tests/support/gl_test_support.h"
#include "tests/support/program.h"
#include "tests/support/rgb.h"
#include "viewer/point_raster.h"
#include "viewer/view.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

std::string dataPath(const std::string& name);

// The current window's back buffer, RGB rows from the bottom.
using Image = std::vector<unsigned char>;
Image backImage();

// Through the graphics window's mouse handlers, as GLUT calls them: a press at the first
// position, motion through the rest and a release at the last; a press and release in place.
void mouseDrag(int button, const std::vector<std::pair<int, int>>& path);
void mouseClick(int x, int y);

// The graphics window's view now, from the camera's state.
View currentView();
// Where a scene point lands in window pixels (origin bottom-left) in that view.
struct WindowPoint {
    double x, y;
};
WindowPoint project(double x, double y, double z);

// Writes a point file of the given records (x y z r g b each) in the test's temporary folder
// and returns its path.
std::string writeCloud(const std::string& name, const std::vector<std::vector<double>>& records);

// The points of a frame's runs.
int64_t segmentPoints(const std::vector<PointSegment>& segments);

// Gives the loaded point set these attribute columns, one entry per record, as a reader that
// keeps them would, and attaches its visibility with the start's hidden classes.
void giveAttributes(PointAttributes attributes);

// Loads a test file (or an absolute path) into the global point set and sizes the camera's view
// as a 400 x 400 graphics window would, with no window: for what the camera computes alone.
class CameraTest : public ::testing::Test {
protected:
    void load(const std::string& file);
    void TearDown() override;
};

// Loads a test file (or an absolute path) into the global point set and opens the graphics window
// through the viewer's own start-up code, counting display and reshape calls.
class GraphicsWindowTest : public ::testing::Test {
protected:
    void open(const std::string& file);
    // The same for points already in pointSet.
    void openWindow();
    void TearDown() override;
    void resize(int width, int height);
    // Asks for a frame and waits until it has been drawn.
    void redraw();
    // The colour of a pixel of the last frame, origin bottom-left. Read from the back buffer:
    // Mesa's software rasteriser swaps by copying the back buffer to the window and keeps it,
    // while the front buffer of a double-buffered window reads back as black.
    Rgb pixel(int x, int y);

    static int displays;
    static int reshapes;
    int window = 0;
};
