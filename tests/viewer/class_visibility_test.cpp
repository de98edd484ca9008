// tests/viewer/class_visibility_test.cpp - a cloud with attributes in the graphics window: its
// colour modes, the classes window's check boxes and buttons, withheld points, picking and
// framing with points hidden, and hidden points in subsets and whole frames on both paths.
#include "tests/viewer/viewer_fixture.h"

#include "controls/widgets/checkbox.h"
#include "controls/widgets/panel.h"
#include "controls/windows/control_window.h"
#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"
#include "viewer/attribute_colours.h"
#include "viewer/camera.h"
#include "viewer/classes_window.h"
#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/legend.h"
#include "viewer/level_of_detail.h"
#include "viewer/point_colours.h"
#include "viewer/scene.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

// Eight white points 10 apart along x and 1 up in z, each a pixel of its own: classes,
// intensities, returns and flags as below. Record 7 is withheld; 3 and 5 are noise.
struct Record {
    int code, intensity, number, of;
    bool withheld;
};
const Record records[8] = {
    {1, 10, 1, 1, false}, {2, 20, 1, 3, false},  {6, 30, 2, 3, false},  {7, 40, 3, 3, false},
    {9, 50, 1, 1, false}, {18, 60, 1, 2, false}, {40, 70, 2, 2, false}, {2, 80, 1, 1, true},
};
constexpr int kRecords = 8;

Rgb asRgb(const unsigned char rgb[3]) {
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

class AttributeCloud : public GraphicsWindowTest {
protected:
    void SetUp() override {
        std::vector<std::vector<double>> points;
        for (int i = 0; i < kRecords; ++i)
            points.push_back({10.0 * i, 0, double(i), 1, 1, 1});
        open(writeCloud("attribute_cloud.txt", points));
        PointAttributes attributes;
        attributes.present = kIntensity | kClassification | kReturns | kFlags;
        for (const Record& r : records) {
            attributes.intensity.push_back(static_cast<uint16_t>(r.intensity));
            attributes.classification.push_back(static_cast<uint8_t>(r.code));
            attributes.returns.push_back(PointAttributes::packReturns(r.number, r.of));
            attributes.flags.push_back(r.withheld ? kFlagWithheld : 0);
        }
        giveAttributes(std::move(attributes));
    }

    void TearDown() override {
        if (ControlWindow* classes = windowManager.findWindow(viewer.classesWindow)) {
            classes->close();
            EXPECT_TRUE(pumpUntil([] { return windowManager.windows.firstChild == nullptr; }));
        }
        GraphicsWindowTest::TearDown();
    }

    WindowPoint at(int record) { return project(10.0 * record, 0, record); }
    Rgb seen(int record) {
        const WindowPoint p = at(record);
        return pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }
    void press(unsigned char key) {
        glutSetWindow(window);
        graphicsKey(key, 200, 200);
    }
    // A frame of the graphics window, left current for reading it back: the classes window's
    // events, handled meanwhile, may make theirs current.
    void show() {
        glutSetWindow(window);
        redraw();
        glutSetWindow(window);
    }
    int pixelsNot(const Rgb& colour, int x0 = 0, int y0 = 0, int x1 = 400, int y1 = 400) {
        const std::vector<unsigned char> rgb = readBackBuffer(400, 400);
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const unsigned char* p = &rgb[size_t(y * 400 + x) * 3];
                count += Rgb{p[0], p[1], p[2]} != colour;
            }
        return count;
    }
    int pixelsOf(const Rgb& colour, int x0, int y0, int x1, int y1) {
        return (x1 - x0) * (y1 - y0) - pixelsNot(colour, x0, y0, x1, y1);
    }
};

// --- The legend ---

namespace {

// The legend's corner of the window, bottom-left origin: the top right quarter and a half.
constexpr int kCornerX = 200, kCornerY = 250;

class LegendOverCloud : public AttributeCloud {
protected:
    int swatchPixels(const unsigned char rgb[3]) {
        return pixelsOf(asRgb(rgb), kCornerX, kCornerY, 400, 400);
    }
};

std::vector<std::vector<std::string>> rowsOf(const Legend& legend) {
    std::vector<std::vector<std::string>> rows;
    for (const Legend::Row& row : legend.rows)
        rows.push_back({row.text, row.count});
    return rows;
}

} // namespace

// Classification: a swatch, the name and the count drawn of each class drawn, and nothing of
// the hidden ones; the count follows w. Gone again with a second l.
TEST_F(LegendOverCloud, ClassesDrawnWithTheirCounts) {
    viewer.displaySettings.colourMode = ColourMode::Classification;
    show();
    const std::vector<unsigned char> without = readBackBuffer(400, 400);
    EXPECT_EQ(pixelsNot(BLACK, kCornerX, kCornerY, 400, 400), 0) << "no points in the corner";
    press('l');
    show();
    for (const Record& r : records) {
        unsigned char rgb[3];
        classColour(r.code, rgb);
        const bool drawn = r.code != 7 && r.code != 18;
        EXPECT_EQ(swatchPixels(rgb), drawn ? kSwatchWidth * kSwatchHeight : 0) << r.code;
    }
    const std::vector<std::vector<std::string>> rows = {{"1 Unclassified", "1"},
                                                        {"2 Ground", "1"},
                                                        {"6 Building", "1"},
                                                        {"9 Water", "1"},
                                                        {"40 Class 40", "1"}};
    EXPECT_EQ(rowsOf(currentLegend()), rows);
    press('w');
    EXPECT_EQ(rowsOf(currentLegend())[1], (std::vector<std::string>{"2 Ground", "2"}));

    press('w');
    press('l');
    show();
    EXPECT_TRUE(readBackBuffer(400, 400) == without);
}

// Return: the four colours named. Height: the ramp from blue at the bottom to red at the top,
// between the box's z in file units. Intensity: the values that go black and white.
TEST_F(LegendOverCloud, ReturnsRampsAndTheirEnds) {
    press('l');
    viewer.displaySettings.colourMode = ColourMode::Return;
    show();
    for (int kind = 0; kind < kReturnKinds; ++kind) {
        unsigned char rgb[3];
        returnColour(static_cast<ReturnKind>(kind), rgb);
        EXPECT_EQ(swatchPixels(rgb), kSwatchWidth * kSwatchHeight) << kind;
    }
    EXPECT_EQ(
        rowsOf(currentLegend()),
        (std::vector<std::vector<std::string>>{
            {"only", ""}, {"first of many", ""}, {"intermediate", ""}, {"last of many", ""}}));

    viewer.displaySettings.colourMode = ColourMode::Height;
    viewer.pointSet.shift[2] = 1000.25;
    show();
    const Legend height = currentLegend();
    EXPECT_TRUE(height.bar);
    EXPECT_EQ(height.low, "1000.250");
    EXPECT_EQ(height.high, "1007.250");
    // The highest row of the corner with pure red lies above the highest with pure blue. The
    // bar's foot reaches below the corner, and the points lie lower still.
    int topRed = -1, topBlue = -1;
    const std::vector<unsigned char> rgb = readBackBuffer(400, 400);
    for (int y = kCornerY - 20; y < 400; ++y)
        for (int x = kCornerX; x < 400; ++x) {
            const unsigned char* p = &rgb[size_t(y * 400 + x) * 3];
            if (p[0] > 240 && p[1] < 30 && p[2] < 30)
                topRed = y;
            if (p[0] < 30 && p[1] < 30 && p[2] > 240)
                topBlue = y;
        }
    EXPECT_GT(topBlue, kCornerY - 20);
    EXPECT_GT(topRed, topBlue + kBarHeight * 3 / 4);

    viewer.displaySettings.colourMode = ColourMode::Intensity;
    const Legend intensity = currentLegend();
    EXPECT_EQ(intensity.low, "10");
    EXPECT_EQ(intensity.high, "80");
    viewer.displaySettings.colourMode = ColourMode::File;
    EXPECT_TRUE(currentLegend().rows.empty());
    EXPECT_FALSE(currentLegend().bar);
}

// --- The classes window, driven through the toolkit's GLUT callbacks ---

class ClassesWindow : public AttributeCloud {
protected:
    void SetUp() override {
        AttributeCloud::SetUp();
        classes = buildClassesWindow(window, nullptr);
        ASSERT_NE(classes, nullptr);
        const int id = classes->windowId;
        // Shown at its packed size, so that what the test clicks is where it is drawn.
        ASSERT_TRUE(pumpUntil([&] {
            const CurrentWindow current(id);
            return glutGet(GLUT_WINDOW_WIDTH) == classes->contentWidth &&
                   glutGet(GLUT_WINDOW_HEIGHT) == classes->contentHeight;
        }));
        viewer.displaySettings.colourMode = ColourMode::Classification;
    }

    Control* control(int userId, Control* from = nullptr) {
        if (from == nullptr)
            from = classes->root;
        if (from->userId == userId && from->type != CONTROL_PANEL)
            return from;
        for (Control* child = from->firstChildControl(); child; child = child->nextSiblingControl())
            if (Control* found = control(userId, child))
                return found;
        return nullptr;
    }
    void click(int userId) {
        Control* target = control(userId);
        ASSERT_NE(target, nullptr) << userId;
        glutSetWindow(classes->windowId);
        const int x = target->x + 6, y = target->y + target->height / 2;
        onMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
        onMouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
    }
    std::vector<int> shownRecords() {
        show();
        std::vector<int> shown;
        for (int i = 0; i < kRecords; ++i)
            if (seen(i) != BLACK)
                shown.push_back(i);
        return shown;
    }

    ControlWindow* classes = nullptr;
};

} // namespace

// c runs through the six modes this cloud has; each colours every point shown by its
// attribute, and noise and withheld points stay hidden in all of them.
TEST_F(AttributeCloud, ColourModesColourByTheAttributes) {
    const IntensityRange range{10, 80};
    const ColourMode cycle[] = {
        ColourMode::File,           ColourMode::Height, ColourMode::Grey, ColourMode::Intensity,
        ColourMode::Classification, ColourMode::Return, ColourMode::File};
    for (ColourMode mode : cycle) {
        SCOPED_TRACE(colourModeName(mode));
        ASSERT_EQ(viewer.displaySettings.colourMode, mode);
        show();
        for (int i = 0; i < kRecords; ++i) {
            const Record& r = records[i];
            unsigned char rgb[3] = {255, 255, 255};
            if (mode == ColourMode::Height)
                heightColour(i / 7.0, rgb);
            if (mode == ColourMode::Intensity)
                rgb[0] = rgb[1] = rgb[2] = intensityGrey(uint16_t(r.intensity), range);
            if (mode == ColourMode::Classification)
                classColour(r.code, rgb);
            if (mode == ColourMode::Return)
                returnColour(returnKind(PointAttributes::packReturns(r.number, r.of)), rgb);
            const bool hidden = r.code == 7 || r.code == 18 || r.withheld;
            EXPECT_EQ(seen(i), hidden ? BLACK : asRgb(rgb)) << "record " << i;
        }
        press('c');
    }
    EXPECT_EQ(viewer.pointColours.intensityRangeOf(viewer.pointSet).low, 10);
}

// w shows the withheld point and hides it again.
TEST_F(AttributeCloud, WithheldPointsShowWithW) {
    show();
    EXPECT_EQ(seen(7), BLACK);
    press('w');
    show();
    EXPECT_EQ(seen(7), (Rgb{255, 255, 255}));
    press('w');
    show();
    EXPECT_EQ(seen(7), BLACK);
}

// A double-click passes over hidden points; the start view, f and Reset View frame the whole
// box whatever is hidden.
TEST_F(AttributeCloud, HiddenPointsAreNotPickedNorFramed) {
    const View start = currentView();
    frameCloud(viewer.viewState, viewer.pointSet);
    const View framed = currentView();
    for (int code = 0; code < 256; ++code)
        viewer.pointSet.visibility.classShown[code] = 0;
    viewer.pointSet.visibility.changed();
    show();
    EXPECT_EQ(pixelsNot(BLACK), 0);
    reshapeView(viewer.viewState, viewer.pointSet, 400, 400);
    const View reshaped = currentView();
    frameCloud(viewer.viewState, viewer.pointSet);
    const View framedHidden = currentView();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(reshaped.modelview[i], start.modelview[i]) << i;
        EXPECT_EQ(reshaped.projection[i], start.projection[i]) << i;
        EXPECT_EQ(framedHidden.modelview[i], framed.modelview[i]) << i;
        EXPECT_EQ(framedHidden.projection[i], framed.projection[i]) << i;
    }

    viewer.pointSet.visibility.classShown[6] = 1;
    viewer.pointSet.visibility.changed();
    for (int record : {3, 2}) {
        const WindowPoint p = at(record);
        const bool picked = pickPivot(viewer.viewState, viewer.pointSet, pickablePoints(), int(p.x),
                                      399 - int(p.y));
        EXPECT_EQ(picked, record == 2) << record;
    }
    EXPECT_FLOAT_EQ(viewer.viewState.pivot[0], 20.0f);
}

// The window lists each class present with its name and count, noise unchecked, right of the
// graphics window; a click on a box hides its class and a second shows it; "none" and "all"
// turn every box and class.
TEST_F(ClassesWindow, CheckBoxesHideAndShowTheirClasses) {
    const std::pair<int, std::string> labels[] = {
        {1, "1 Unclassified (1)"},      {2, "2 Ground (2)"}, {6, "6 Building (1)"},
        {7, "7 Low Point (noise) (1)"}, {9, "9 Water (1)"},  {18, "18 High Noise (1)"},
        {40, "40 Class 40 (1)"}};
    for (const auto& [code, label] : labels) {
        Control* box = control(ID_FIRST_CLASS + code);
        ASSERT_NE(box, nullptr) << code;
        EXPECT_EQ(std::string(box->name), label);
        EXPECT_EQ(box->intValue, code == 7 || code == 18 ? 0 : 1) << code;
    }
    EXPECT_EQ(control(ID_FIRST_CLASS + 3), nullptr) << "only the classes present";
    {
        const CurrentWindow current(classes->windowId);
        EXPECT_GE(glutGet(GLUT_WINDOW_X), 400) << "beside the graphics window, not over it";
    }

    EXPECT_EQ(shownRecords(), (std::vector<int>{0, 1, 2, 4, 6}));
    click(ID_FIRST_CLASS + 2);
    EXPECT_EQ(viewer.pointSet.visibility.classShown[2], 0);
    EXPECT_EQ(shownRecords(), (std::vector<int>{0, 2, 4, 6}));
    click(ID_FIRST_CLASS + 2);
    click(ID_FIRST_CLASS + 18);
    EXPECT_EQ(shownRecords(), (std::vector<int>{0, 1, 2, 4, 5, 6}));

    click(ID_NO_CLASSES);
    EXPECT_EQ(shownRecords(), (std::vector<int>{}));
    EXPECT_EQ(control(ID_FIRST_CLASS + 1)->intValue, 0);
    click(ID_ALL_CLASSES);
    EXPECT_EQ(shownRecords(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6})) << "but the withheld";
    EXPECT_EQ(control(ID_FIRST_CLASS + 7)->intValue, 1);
    EXPECT_EQ(viewer.pointSet.visibility.classShown[3], 1) << "absent classes untouched";
}

// --- Large clouds: the subset while moving and the whole frame at rest, on both paths ---

namespace {

class HiddenInLargeClouds : public GraphicsWindowTest {
protected:
    // 400000 points in slabs along z, class z % 4; class 1 hidden.
    void openBlock(PointPath path) {
        const int nx = 200, ny = 100, nz = 20;
        viewer.pointSet.points = allocatePoints(int64_t(nx) * ny * nz);
        PointAttributes attributes;
        attributes.present = kClassification;
        int32_t count = 0;
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x) {
                    viewer.pointSet.points[count++] = {float(x),          float(y) * 0.7f,
                                                       float(z),          float(x % 256) / 255.0f,
                                                       float(y) / 255.0f, float(z * 12) / 255.0f};
                    attributes.classification.push_back(static_cast<uint8_t>(z % 4));
                }
        viewer.pointSet.count = count;
        viewer.pointSet.computeBounds();
        giveAttributes(std::move(attributes));
        viewer.pointSet.visibility.classShown[1] = 0;
        viewer.pointSet.visibility.changed();
        openWindow();
        viewer.frameScheduler.renderer.setLargeFramePath(path);
        viewer.frameScheduler.frameSeconds = 1e-9;
    }

    bool waitForWholeFrame() {
        return pumpUntil([] {
            return !viewer.frameScheduler.wholeFramePending() &&
                   viewer.frameScheduler.lastFrame().full;
        });
    }

    std::vector<unsigned char> image() { return readBackBuffer(400, 400); }

    // Until the octree is there, then a frame at rest of its nodes (not the sample's).
    void waitForOctreeAtRest() {
        ASSERT_TRUE(viewer.cloudOctree);
        int64_t after = -1;
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(pumpUntil(
                [after] {
                    const FrameRecord& last = viewer.frameScheduler.lastFrame();
                    return levelOfDetail() && !viewer.frameScheduler.wholeFramePending() &&
                           last.full && last.serial > after;
                },
                std::chrono::seconds(60)));
            after = viewer.frameScheduler.lastFrame().serial;
            if (pass == 0)
                redraw();
        }
    }

    // Every point not hidden, by one GL_POINTS call under the same view.
    std::vector<unsigned char> shownPointsImage() {
        std::vector<uint32_t> shown;
        for (int32_t i = 0; i < viewer.pointSet.count; ++i)
            if (viewer.pointSet.attributes.classification[size_t(i)] != 1)
                shown.push_back(uint32_t(i));
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), &viewer.pointSet.points->x);
        glColorPointer(3, GL_FLOAT, sizeof(PointRecord), &viewer.pointSet.points->r);
        glDrawElements(GL_POINTS, GLsizei(shown.size()), GL_UNSIGNED_INT, shown.data());
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glFinish();
        return image();
    }
};

} // namespace

TEST_F(HiddenInLargeClouds, SubsetAndWholeFrameDrawOnlyShownPoints) {
    for (PointPath path : {PointPath::Gl, PointPath::Software}) {
        SCOPED_TRACE(path == PointPath::Gl ? "GL" : "software");
        // The records themselves, not an octree's nodes.
        viewer.lodSettings.buildOctree = false;
        openBlock(path);
        redraw();
        ASSERT_TRUE(waitForWholeFrame());
        EXPECT_EQ(viewer.frameScheduler.renderer.framePath(), path);
        EXPECT_EQ(viewer.frameScheduler.lastFrame().points, 300000);
        EXPECT_TRUE(image() == shownPointsImage());

        graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 200);
        graphicsMotion(203, 200);
        const int64_t serial = viewer.frameScheduler.lastFrame().serial;
        ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
        ASSERT_FALSE(viewer.frameScheduler.lastFrame().full);
        const PointSubset& subset = viewer.frameScheduler.subset();
        int hidden = 0;
        for (int64_t i = 0; i < subset.size(); ++i)
            hidden += viewer.pointSet.attributes.classification[subset.indices()[i]] == 1;
        EXPECT_EQ(hidden, 0);
        EXPECT_GT(subset.size(), 0);
        graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 203, 200);
        ASSERT_TRUE(waitForWholeFrame());
        EXPECT_TRUE(image() == shownPointsImage());
        TearDown();
    }
}

// Once its octree is built the cloud is drawn by nodes, its records reordered with their
// attributes: the frames at rest still draw no hidden point and colour each by its own class,
// and a double-click is offered the shown records alone.
TEST_F(HiddenInLargeClouds, OctreeNodesDrawOnlyShownPointsInTheirOwnClassColours) {
    unsigned char hiddenColour[3], shownColour[3];
    classColour(2, hiddenColour);
    classColour(3, shownColour);
    for (PointPath path : {PointPath::Gl, PointPath::Software}) {
        SCOPED_TRACE(path == PointPath::Gl ? "GL" : "software");
        viewer.lodSettings.octree.nodePoints = 4096;
        viewer.displaySettings.colourMode = ColourMode::Classification;
        openBlock(path);
        viewer.pointSet.visibility.classShown[2] = 0;
        viewer.pointSet.visibility.changed();
        // From the front each slab of one class is a row of its own.
        showStandardView(viewer.viewState, viewer.pointSet, StandardView::Front);
        redraw();
        waitForOctreeAtRest();

        const PointSet& set = viewer.pointSet;
        int64_t moved = 0;
        for (int32_t i = 0; i < set.count; ++i) {
            ASSERT_EQ(set.attributes.classification[size_t(i)], int(set.points[i].z) % 4) << i;
            moved += set.points[i].x != float(i % 200);
        }
        EXPECT_GT(moved, 0) << "the build reordered the records";

        const std::vector<unsigned char> pixels = image();
        int hiddenPixels = 0, shownPixels = 0;
        for (size_t p = 0; p + 2 < pixels.size(); p += 3) {
            hiddenPixels += std::equal(hiddenColour, hiddenColour + 3, &pixels[p]);
            shownPixels += std::equal(shownColour, shownColour + 3, &pixels[p]);
        }
        EXPECT_EQ(hiddenPixels, 0);
        EXPECT_GT(shownPixels, 0);
        EXPECT_LE(viewer.frameScheduler.lastFrame().points, 200000);

        // Classes 0 and 3 are shown: ten slabs of 20000.
        int64_t pickable = 0, hiddenPickable = 0;
        for (const PointSegment& run : pickablePoints())
            for (int64_t k = run.first; k < run.first + run.count; ++k) {
                const int64_t record = run.indices ? int64_t(run.indices[k]) : k;
                const int code = set.attributes.classification[size_t(record)];
                hiddenPickable += code == 1 || code == 2;
                ++pickable;
            }
        EXPECT_EQ(pickable, 200000);
        EXPECT_EQ(hiddenPickable, 0);
        TearDown();
    }
}

// On a GPU renderer (forced here on the software one) each node is uploaded whole once and drawn
// from its buffer, also when some of its points are hidden and when a frame at rest draws it in
// parts over several passes: the picture is the one drawn from the records' arrays.
TEST_F(HiddenInLargeClouds, OctreeNodesWithHiddenPointsKeepTheirBuffers) {
    for (bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "class 1 hidden" : "nothing hidden");
        viewer.lodSettings.octree.nodePoints = 4096;
        openBlock(PointPath::Gl);
        PointRenderer& renderer = viewer.frameScheduler.renderer;
        renderer.setNodeBuffers(true);
        viewer.pointSet.visibility.classShown[1] = hide ? 0 : 1;
        viewer.pointSet.visibility.changed();
        redraw();
        waitForOctreeAtRest();
        const std::vector<unsigned char> fromBuffers = image();
        const int64_t uploads = renderer.bufferUploads();
        EXPECT_GT(uploads, 10);
        EXPECT_EQ(viewer.frameScheduler.lastFrame().points, hide ? 300000 : 400000);

        // Once more at rest: nothing uploaded again.
        const int64_t serial = viewer.frameScheduler.lastFrame().serial;
        redraw();
        ASSERT_TRUE(pumpUntil([serial] {
            const FrameRecord& last = viewer.frameScheduler.lastFrame();
            return !viewer.frameScheduler.wholeFramePending() && last.full && last.serial > serial;
        }));
        EXPECT_TRUE(image() == fromBuffers);
        EXPECT_EQ(renderer.bufferUploads(), uploads);

        renderer.setNodeBuffers(false);
        drawCompleteFrame();
        EXPECT_TRUE(image() == fromBuffers) << "the same picture from the arrays, in one pass";
        TearDown();
    }
}

// While the octree is built the frames draw a copy of a few records: it carries their
// attributes, so that its colours and the classes hidden are those of the records it copies.
TEST(OctreeSample, CarriesTheAttributesOfTheRecordsItCopies) {
    std::vector<PointRecord> records(5000);
    PointCloud cloud;
    cloud.attributes.present = kClassification | kIntensity | kFlags;
    for (size_t i = 0; i < records.size(); ++i) {
        records[i] = {float(i % 50), float(i / 50), 0.0f, 1.0f, 1.0f, 1.0f};
        cloud.attributes.classification.push_back(static_cast<uint8_t>(i % 23));
        cloud.attributes.intensity.push_back(static_cast<uint16_t>(i));
        cloud.attributes.flags.push_back(i % 7 == 0 ? kFlagWithheld : 0);
    }
    cloud.points = records.data();
    cloud.count = int32_t(records.size());
    cloud.computeBounds();
    const uint32_t picked[4] = {3, 700, 1401, 4999};
    CloudOctree octree;
    OctreeOptions options;
    options.nodePoints = 256;
    octree.start(cloud, picked, 4, options);
    const PointCloud& sample = octree.sample();
    ASSERT_EQ(sample.count, 4);
    EXPECT_EQ(sample.attributes.present, cloud.attributes.present);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sample.attributes.intensity[size_t(i)], picked[i]);
        EXPECT_EQ(sample.attributes.classification[size_t(i)], picked[i] % 23);
        EXPECT_EQ(sample.attributes.flags[size_t(i)], picked[i] % 7 == 0 ? kFlagWithheld : 0);
        EXPECT_EQ(sample.points[i].x, float(picked[i] % 50));
    }
    EXPECT_TRUE(sample.attributes.returns.empty());
    octree.waitForEnd();
    EXPECT_TRUE(octree.poll());
}
