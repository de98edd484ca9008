// tests/viewer/display_test.cpp - what the keys and the projection planes change on screen:
// clouds of any size in view, point size, colours, background, overlays and screenshots.
#include "tests/viewer/viewer_fixture.h"

#include "controls/core/drawing.h"
#include "tests/support/scratch_dir.h"
#include "viewer/camera.h"
#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/legend.h"
#include "viewer/overlays.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Display : public GraphicsWindowTest {
protected:
    int pixelsNot(const Rgb& colour) {
        const std::vector<unsigned char> rgb = readBackBuffer(400, 400);
        int count = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            count += Rgb{rgb[i], rgb[i + 1], rgb[i + 2]} != colour;
        return count;
    }
    void press(unsigned char key) { graphicsKey(key, 200, 200); }
    Rgb seenAt(double x, double y, double z) {
        const WindowPoint p = project(x, y, z);
        return pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }
};

// The eight corners of a cube of the given size from the origin.
std::string cornerCube(const std::string& name, double size) {
    std::vector<std::vector<double>> records;
    for (int corner = 0; corner < 8; ++corner)
        records.push_back(
            {corner & 1 ? size : 0, corner & 2 ? size : 0, corner & 4 ? size : 0, 1, 1, 1});
    return writeCloud(name, records);
}

std::vector<unsigned char> readPng(const std::string& path, int* width, int* height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgb;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return rgb;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    // Bottom row first, as glReadPixels gives them.
    if (!png_image_finish_read(&image, nullptr, rgb.data(),
                               -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image)), nullptr))
        rgb.clear();
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return rgb;
}

} // namespace

// A 1 mm cube starts closer to the eye than the fixed near plane and a 50 km one reaches past
// the fixed far plane: every corner shows all the same, also with the eye moved up close or
// far away. A cloud that fits the fixed planes keeps them.
TEST_F(Display, CloudsOfAnySizeStayInView) {
    for (double size : {0.001, 50000.0}) {
        SCOPED_TRACE(size);
        open(cornerCube("size_cube.txt", size));
        redraw();
        EXPECT_EQ(pixelsNot(BLACK), 8);
        // Close up the front face has left the window; the back face is nearer than 0.1.
        zoomAt(viewer.viewState, viewer.pointSet, 200, 200, 3);
        redraw();
        EXPECT_EQ(pixelsNot(BLACK), 4) << "close up";
        zoomAt(viewer.viewState, viewer.pointSet, 200, 200, -40);
        redraw();
        EXPECT_GE(pixelsNot(BLACK), 1) << "far away";
        TearDown();
        window = 0;
    }

    open("camera_cube.txt");
    mouseDrag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, -2000}}); // 1000 units back: the fixed planes fit
    redraw();
    GLdouble drawn[16], fixed[16];
    glGetDoublev(GL_PROJECTION_MATRIX, drawn);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.1, 10000.0);
    glGetDoublev(GL_PROJECTION_MATRIX, fixed);
    glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(drawn[i], fixed[i]) << i;
}

// Four separate points: each becomes a size x size square.
TEST_F(Display, PointSizeKeysGrowEachPointToASquare) {
    open("render_corners.txt");
    press('-');
    redraw();
    EXPECT_EQ(pixelsNot(BLACK), 4) << "never below 1";
    for (int size = 2; size <= 17; ++size) {
        press(size % 2 ? '+' : '=');
        redraw();
        const int expected = size > 16 ? 16 : size;
        EXPECT_EQ(pixelsNot(BLACK), 4 * expected * expected) << size;
    }
    for (int i = 0; i < 13; ++i)
        press('-');
    redraw();
    EXPECT_EQ(pixelsNot(BLACK), 4 * 3 * 3);
}

// The cube's points: red at x = ±10, green at y = ±10, blue at z = ±10.
TEST_F(Display, ColourKeyCyclesFileHeightAndGrey) {
    open("camera_cube.txt");
    viewer.viewState.navigationMode = MODE_ROTATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {300, 200}}); // so that no two points share a pixel
    struct Case {
        Rgb top, middle, bottom; // z = 10, the red x = 10 point at z = 0, z = -10
    };
    const Case cases[] = {
        {{0, 0, 255}, {255, 0, 0}, {0, 0, 255}},    // the file's
        {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},    // height: red, green, blue
        {{29, 29, 29}, {76, 76, 76}, {29, 29, 29}}, // grey: blue and red as bright as they look
        {{0, 0, 255}, {255, 0, 0}, {0, 0, 255}},    // the file's again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(colourModeName(viewer.displaySettings.colourMode));
        redraw();
        EXPECT_EQ(seenAt(0, 0, 10), c.top);
        EXPECT_EQ(seenAt(10, 0, 0), c.middle);
        EXPECT_EQ(seenAt(0, 0, -10), c.bottom);
        press('c');
    }
}

// One point far above a line of 200 no longer squeezes the line into blue: the height ramp
// runs from its lowest point, blue, to the 99th percentile, red; the outlier is red too, and
// the legend's bar names those ends.
TEST_F(Display, HeightRampLeavesOutliersOut) {
    std::vector<std::vector<double>> records;
    for (int i = 0; i < 200; ++i)
        records.push_back({20.0 * i, 0, double(i), 1, 1, 1});
    records.push_back({2000, 0, 2000, 1, 1, 1});
    open(writeCloud("outlier_above.txt", records));
    viewer.displaySettings.colourMode = ColourMode::Height;
    redraw();
    EXPECT_EQ(seenAt(0, 0, 0), BLUE);
    EXPECT_EQ(seenAt(1980, 0, 99), GREEN);
    EXPECT_EQ(seenAt(3960, 0, 198), RED);
    EXPECT_EQ(seenAt(3980, 0, 199), RED);
    EXPECT_EQ(seenAt(2000, 0, 2000), RED);
    const Legend legend = currentLegend();
    EXPECT_EQ(legend.low, "0.0");
    EXPECT_EQ(legend.high, "198.0");
}

TEST_F(Display, BackgroundKeyAndOverlays) {
    open("render_corners.txt");
    // On white the white point is lost.
    const std::pair<Rgb, int> backgrounds[] = {
        {{255, 255, 255}, 3}, {{64, 64, 64}, 4}, {{0, 0, 0}, 4}};
    for (const auto& [background, points] : backgrounds) {
        press('b');
        redraw();
        EXPECT_EQ(pixel(200, 200), background);
        EXPECT_EQ(pixelsNot(background), points);
    }

    // The help covers a good part of the window in the toolkit's font; hidden, the picture is
    // as before.
    const std::vector<unsigned char> before = readBackBuffer(400, 400);
    press('h');
    redraw();
    EXPECT_GT(pixelsNot(BLACK), 30000);
    EXPECT_EQ(pixel(20, 380), (Rgb{30, 30, 30})) << "the help box at the top left";
    press('?');
    redraw();
    EXPECT_EQ(readBackBuffer(400, 400), before);

    press('i');
    redraw();
    EXPECT_NE(pixel(200, 3), BLACK) << "the status line along the bottom";
    EXPECT_EQ(pixel(200, 390), BLACK);
    EXPECT_EQ(statusText(), "5 points  size 1  colours file  pan fixed");
    viewer.displaySettings.pointSize = 3;
    viewer.displaySettings.colourMode = ColourMode::Height;
    const WindowPoint corner = project(10, 10, 0);
    mouseClick(static_cast<int>(corner.x), 399 - static_cast<int>(corner.y));
    mouseClick(static_cast<int>(corner.x), 399 - static_cast<int>(corner.y));
    press('p');
    EXPECT_EQ(statusText(),
              "5 points  size 3  colours height  pan follow  pivot 10.00000 10.00000 0.00000");
    press('i');
    redraw();
    EXPECT_EQ(pixel(200, 3), BLACK);
}

// The status line says which colours are on screen: a file without colours is drawn with a
// height ramp or its intensity grey, which the line names rather than "file".
TEST_F(Display, StatusLineNamesTheColoursDrawn) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"render_corners.txt", {"colours file", "colours height", "colours grey"}},
        {"formats/pcl_bunny.pcd", {"colours height", "colours height", "colours grey"}},
        {"formats/laspy_simple1_1.las", {"colours intensity", "colours height", "colours grey"}},
    };
    for (const auto& [file, names] : cases) {
        SCOPED_TRACE(file);
        open(file);
        for (const std::string& name : names) {
            EXPECT_EQ(statusParts()[2], name);
            press('c');
        }
        TearDown();
        window = 0;
    }
}

// Parts that do not fit the window's width go on further lines, the box growing upwards; a
// part wider than the window is cut short.
TEST_F(Display, StatusLineWrapsToFitTheWindow) {
    open("camera_cube.txt");
    viewer.viewState.pivotPicked = true;
    viewer.viewState.pivot[0] = 10.0f;
    press('i');
    const auto fits = [](const std::vector<std::string>& lines, int width) {
        for (const std::string& line : lines)
            EXPECT_LE(bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, line.c_str()), width) << line;
    };
    EXPECT_EQ(statusLines(1000), std::vector<std::string>{statusText()});
    resize(150, 400);
    redraw();
    const std::vector<std::string> lines = statusLines(150 - 12);
    ASSERT_GE(lines.size(), 2u);
    fits(lines, 150 - 12);
    std::string joined;
    for (const std::string& line : lines)
        joined += (joined.empty() ? "" : "  ") + line;
    EXPECT_EQ(joined, statusText());
    // Above the first line's box, at the right where no text reaches: the second line's box.
    EXPECT_NE(pixel(147, 25), BLACK);
    EXPECT_EQ(pixel(147, 25 + 15 * static_cast<int>(lines.size())), BLACK);

    const std::vector<std::string> narrow = statusLines(40);
    fits(narrow, 40);
    EXPECT_EQ(narrow.size(), statusParts().size());
    EXPECT_EQ(narrow.back().substr(narrow.back().size() - 3), "...");
}

// The file holds exactly the frame the window shows; numbered files never replace one.
TEST_F(Display, ScreenshotsHoldTheWindowsPixels) {
    open("camera_cube.txt");
    viewer.displaySettings.pointSize = 4;
    viewer.showAxis = 1;
    const std::string path = scratchDir() + "display_test_shot.png";
    std::string error;
    ASSERT_TRUE(saveScreenshot(path.c_str(), &error)) << error;
    int width = 0, height = 0;
    const std::vector<unsigned char> saved = readPng(path, &width, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 400);
    redraw();
    EXPECT_EQ(saved, readBackBuffer(400, 400));
    std::remove(path.c_str());

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    char folder[] = "/tmp/display_test_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chdir(folder), 0);
    std::fclose(std::fopen("pointillist-1.png", "w"));
    const std::string second = saveNumberedScreenshot(&error);
    const std::string third = saveNumberedScreenshot(&error);
    EXPECT_EQ(second, std::string(folder) + "/pointillist-2.png");
    EXPECT_EQ(third, std::string(folder) + "/pointillist-3.png");
    EXPECT_EQ(readPng(third, &width, &height), saved);
    for (const char* name : {"pointillist-1.png", "pointillist-2.png", "pointillist-3.png"})
        std::remove(name);
    // A folder it cannot write to: a reason, no file.
    ASSERT_EQ(chmod(folder, 0500), 0);
    if (access(folder, W_OK) != 0) {
        EXPECT_EQ(saveNumberedScreenshot(&error), "");
        EXPECT_EQ(error, "cannot write pointillist-1.png: Permission denied");
    }
    ASSERT_EQ(chdir(previous), 0);
    chmod(folder, 0700);
    rmdir(folder);
}
