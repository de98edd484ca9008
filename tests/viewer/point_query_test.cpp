// tests/viewer/point_query_test.cpp - what a double-clicked point's box says, the lengths of a
// measurement, and both through the graphics window's own mouse and keys.
#include "io/classification.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/small_las.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/control_panel.h"
#include "viewer/keys.h"
#include "viewer/point_marks.h"
#include "viewer/point_query.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using Lines = std::vector<std::string>;

PointCloud twoPointCloud() {
    PointCloud cloud;
    static PointRecord records[] = {{1.25f, -2.5f, 0.125f, 1.0f, 0.5f, 0.0f},
                                    {-1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 1.0f}};
    cloud.points = records;
    cloud.count = 2;
    cloud.nearCorner[0] = -1.0f, cloud.nearCorner[1] = -2.5f, cloud.nearCorner[2] = 0.125f;
    cloud.farCorner[0] = 1.25f, cloud.farCorner[1] = 2.0f, cloud.farCorner[2] = 3.0f;
    return cloud;
}

} // namespace

TEST(PointQueryBox, FileCoordinatesWithEveryDigitOfThePrecision) {
    PointCloud cloud = twoPointCloud();
    cloud.shifted = true;
    cloud.shift[0] = 500000.0, cloud.shift[1] = 4000000.0, cloud.shift[2] = -100.0;
    cloud.precision[0] = cloud.precision[1] = 0.01;
    cloud.precision[2] = 0.001; // the finest axis sets the digits of all three
    EXPECT_EQ(queryPoint(cloud, 0).lines,
              (Lines{"x 500001.250", "y 3999997.500", "z -99.875", "colour 255 128 0"}));
    EXPECT_EQ(queryPoint(cloud, 1).position[2], 3.0) << "the cross stays in the records' space";

    // A file of floats: as many digits as a float holds at 3, whose step is 2^-22 = 2.4e-7.
    cloud.precision[0] = cloud.precision[1] = cloud.precision[2] = 0.0;
    cloud.shift[0] = cloud.shift[1] = cloud.shift[2] = 0.0;
    cloud.colour = ColourKind::None;
    EXPECT_EQ(queryPoint(cloud, 1).lines, (Lines{"x -1.0000000", "y 2.0000000", "z 3.0000000"}));
    cloud.precision[0] = cloud.precision[1] = cloud.precision[2] = 0.25;
    EXPECT_EQ(queryPoint(cloud, 0).lines[0], "x 1.25");
    EXPECT_EQ(decimalText(-0.004, 2), "0.00");
}

TEST(PointQueryBox, EveryAttributeTheCloudHasAndNoOther) {
    PointCloud cloud = twoPointCloud();
    cloud.precision[0] = cloud.precision[1] = cloud.precision[2] = 0.01;
    PointAttributes& a = cloud.attributes;
    a.present = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                kPointSource | kGpsTime;
    a.intensity = {65535, 7};
    a.classification = {2, 18};
    a.returns = {PointAttributes::packReturns(2, 3), PointAttributes::packReturns(15, 15)};
    a.flags = {0, kFlagWithheld | kFlagSynthetic};
    a.scanAngle = {-500, 15000};
    a.userData = {0, 255};
    a.pointSource = {12, 65535};
    a.gpsTime = {0.0, 123456789.125};
    const Lines expected = {"x -1.00",
                            "y 2.00",
                            "z 3.00",
                            "colour 0 0 255",
                            "class 18 High Noise",
                            "intensity 7",
                            "return 15 of 15",
                            "GPS time 123456789.125000",
                            "point source 65535",
                            "scan angle 90.000 deg",
                            "user data 255",
                            "flags synthetic, withheld"};
    EXPECT_EQ(queryPoint(cloud, 1).lines, expected);
    EXPECT_EQ(queryPoint(cloud, 0).lines[4], "class 2 Ground");
    EXPECT_EQ(queryPoint(cloud, 0).lines[6], "return 2 of 3");
    EXPECT_EQ(queryPoint(cloud, 0).lines.back(), "flags none");

    // Present but shorter than the records: it describes neither point, so neither shows it.
    a.gpsTime = {1.0};
    a.present = kGpsTime | kIntensity;
    EXPECT_EQ(queryPoint(cloud, 1).lines.size(), 5u);
    EXPECT_EQ(queryPoint(cloud, 1).lines.back(), "intensity 7");
}

TEST(MeasurementLengths, SegmentsComponentsAndTheSummaryLine) {
    Measurement m;
    const double a[3] = {500000.0, 4000000.0, 100.0};
    const double b[3] = {500003.0, 4000004.0, 100.0};
    const double c[3] = {500003.0, 4000004.0, 88.0};
    m.add(a);
    EXPECT_TRUE(m.vertices().empty()) << "not active yet";
    m.start();
    m.add(a);
    EXPECT_EQ(m.summary(2), "measure: 1 points, length 0.00, last segment 0.00 (horizontal 0.00, "
                            "vertical 0.00)");
    m.add(b);
    m.add(c);
    EXPECT_EQ(m.segment(0).length, 5.0);
    EXPECT_EQ(m.lastSegment().vertical, 12.0) << "a fall counts as a positive height";
    EXPECT_EQ(m.summary(3), "measure: 3 points, length 17.000, last segment 12.000 (horizontal "
                            "0.000, vertical 12.000)");
    m.end();
    EXPECT_FALSE(m.active());
    EXPECT_EQ(m.length(), 0.0);
}

// --- Through the graphics window ---

namespace {

// Georeferenced, so the reader shifts them: the box must add the shift back. The three
// coloured points lie 1000 m apart east and north, the last 40 m higher.
SmallLas georeferencedTile() {
    SmallLas las;
    las.offset[0] = 500000.0, las.offset[1] = 4000000.0, las.offset[2] = 100.0;
    las.points = {{12345, 67890, 1234, 65535, 0, 0},
                  {112345, 67890, 1234, 0, 65535, 0},
                  {112345, 167890, 5234, 0, 0, 65535},
                  {62345, 117890, 1234, 65535, 65535, 65535}};
    return las;
}

class PointMarks : public GraphicsWindowTest {
protected:
    void SetUp() override {
        path = scratchDir() + "point_marks.las";
        ASSERT_TRUE(tile.write(path));
        open(path);
    }

    // GLUT coordinates of the record whose colour is that of tile point i (the reader may
    // reorder nothing, but the test need not rely on it).
    std::pair<int, int> pointerOn(int i) {
        const SmallLasPoint& p = tile.points[size_t(i)];
        for (int64_t k = 0; k < viewer.pointSet.count; ++k) {
            const PointRecord& r = viewer.pointSet.points[k];
            if (std::lround(r.r * 65535) == p.red && std::lround(r.g * 65535) == p.green &&
                std::lround(r.b * 65535) == p.blue) {
                const WindowPoint w = project(r.x, r.y, r.z);
                return {static_cast<int>(w.x), 399 - static_cast<int>(w.y)};
            }
        }
        ADD_FAILURE() << "no record of point " << i;
        return {0, 0};
    }
    void doubleClickOn(int i) {
        const auto [x, y] = pointerOn(i);
        mouseClick(x, y);
        mouseClick(x, y);
    }
    // Magenta pixels within 12 pixels of tile point i in the last frame.
    int markPixelsNear(int i) {
        redraw();
        const auto [x, y] = pointerOn(i);
        int count = 0;
        for (int dy = -12; dy <= 12; ++dy)
            for (int dx = -12; dx <= 12; ++dx)
                count += pixel(x + dx, 399 - y + dy) == Rgb{255, 0, 255};
        return count;
    }
    std::string text(int i, int axis) {
        return decimalText(tile.coordinate(tile.points[size_t(i)], axis), 2);
    }

    SmallLas tile = georeferencedTile();
    std::string path;
};

} // namespace

TEST_F(PointMarks, DoubleClickShowsThePointAndEmptySpaceOrResetTakesItAway) {
    ASSERT_TRUE(viewer.pointSet.shifted);
    EXPECT_EQ(markPixelsNear(2), 0);
    doubleClickOn(2);
    ASSERT_TRUE(viewer.query.marked);
    // The position and colour, then the attributes the LAS records carry, the class named.
    ASSERT_GE(viewer.query.lines.size(), 5u);
    EXPECT_EQ(Lines(viewer.query.lines.begin(), viewer.query.lines.begin() + 4),
              (Lines{"x " + text(2, 0), "y " + text(2, 1), "z " + text(2, 2), "colour 0 0 255"}));
    EXPECT_EQ(viewer.query.lines[4], "class 1 " + className(1));
    EXPECT_EQ(viewer.query.lines[0], "x 501123.45");
    EXPECT_TRUE(viewer.viewState.pivotPicked) << "it still sets the rotation centre";
    EXPECT_GT(markPixelsNear(2), 10) << "the cross";
    const auto [x, y] = pointerOn(2);
    EXPECT_EQ(pixel(x, 399 - y), BLUE) << "the point itself shows through the cross";

    // Another point moves the mark; empty space removes it.
    doubleClickOn(0);
    EXPECT_EQ(viewer.query.lines[0], "x " + text(0, 0));
    EXPECT_EQ(markPixelsNear(2), 0);
    mouseClick(2, 2);
    mouseClick(2, 2);
    EXPECT_FALSE(viewer.query.marked);
    EXPECT_EQ(markPixelsNear(0), 0);

    // Both ways of Reset View.
    doubleClickOn(1);
    graphicsKey('r', 0, 0);
    EXPECT_FALSE(viewer.query.marked);
    doubleClickOn(1);
    controlCallback(ID_RESET_VIEW);
    EXPECT_FALSE(viewer.query.marked);
}

TEST_F(PointMarks, MeasurementPrintsItsLengthsInFileUnits) {
    testing::internal::CaptureStdout();
    doubleClickOn(3); // before m: marks, measures nothing
    graphicsKey('m', 0, 0);
    ASSERT_TRUE(viewer.measurement.active());
    doubleClickOn(0);
    doubleClickOn(1);
    mouseClick(2, 2); // empty space adds no vertex
    mouseClick(2, 2);
    doubleClickOn(2);
    EXPECT_EQ(measurementLines(), (Lines{"segment 1000.80", "  horizontal 1000.00",
                                         "  vertical 40.00", "total 2000.80"}));
    // The polyline runs through the first segment a quarter along, clear of crosses and labels.
    redraw();
    const auto [ax, ay] = pointerOn(0);
    const auto [bx, by] = pointerOn(1);
    int line = 0;
    for (int d = -3; d <= 3; ++d)
        for (int e = -3; e <= 3; ++e)
            line += pixel((3 * ax + bx) / 4 + d, 399 - (3 * ay + by) / 4 + e) == Rgb{255, 0, 255};
    EXPECT_GT(line, 0);

    graphicsKey('m', 0, 0);
    EXPECT_FALSE(viewer.measurement.active());
    graphicsKey('m', 0, 0);
    graphicsKey('m', 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "measure: 3 points, length 2000.80, last segment 1000.80 (horizontal 1000.00, "
              "vertical 40.00)\n"
              "measure: 0 points, length 0.00, last segment 0.00 (horizontal 0.00, vertical "
              "0.00)\n");
}
