// tests/viewer/streamed_attributes_test.cpp - a streamed octree file's nodes keep their
// attributes: the colour modes, hidden classes and withheld points, the legend and the point
// query work on them as on a file read whole, and a change of mode or switch recolours the held
// nodes without decoding them again.
#include "tests/viewer/viewer_fixture.h"

#include "io/copc/copc_cloud_writer.h"
#include "io/laz/laz_file_writer.h"
#include "tests/support/scratch_dir.h"
#include "viewer/attribute_colours.h"
#include "viewer/camera.h"
#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/legend.h"
#include "viewer/level_of_detail.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 60;
// A slab of kSide x kSide points at each z, one class a slab: 7 and 18 start hidden.
constexpr int kSlabClasses[] = {2, 3, 4, 5, 6, 7, 9, 18};
constexpr int kSlabs = 8;
constexpr int kSlabPoints = kSide * kSide;

// Slab 0's points with x a multiple of 10 are withheld.
bool withheld(int x, int z) {
    return z == 0 && x % 10 == 0;
}

// The slabs written as an octree file of small nodes, so that they arrive as many nodes.
std::string writeSlabs() {
    std::vector<PointRecord> records;
    PointCloud cloud;
    PointAttributes& a = cloud.attributes;
    a.present = kIntensity | kClassification | kReturns | kFlags;
    for (int z = 0; z < kSlabs; ++z)
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                records.push_back({float(x), float(y), float(z), 0.5f, 0.25f, 0.75f});
                a.intensity.push_back(uint16_t(x * 1000));
                a.classification.push_back(uint8_t(kSlabClasses[z]));
                a.returns.push_back(PointAttributes::packReturns(1 + y % 2, 2));
                a.flags.push_back(withheld(x, z) ? kFlagWithheld : 0);
            }
    cloud.points = records.data();
    cloud.count = int32_t(records.size());
    cloud.computeBounds();
    CopcCloudOptions options;
    options.nodePoints = 2000;
    options.grid = 16;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(writeCopcCloud(cloud, lazMemorySink(bytes), options));
    return writeScratchFile("streamed-slabs.copc.laz", bytes);
}

std::array<unsigned char, 3> classRgb(int code) {
    std::array<unsigned char, 3> rgb{};
    classColour(code, rgb.data());
    return rgb;
}

class StreamedAttributes : public GraphicsWindowTest {
protected:
    void SetUp() override {
        viewer.lodSettings.streamPointsAbove = 0;
        ASSERT_TRUE(streamOctreeFile(writeSlabs().c_str(), uint64_t(1) << 30));
        viewer.showAxis = 0;
        viewer.displaySettings.colourMode = ColourMode::Classification;
        openWindow();
        // From the front each slab is a row of its own.
        showStandardView(viewer.viewState, viewer.pointSet, StandardView::Front);
        atRest();
    }
    // A new frame, then until every node the view wants is drawn in a frame at rest.
    void atRest() {
        const int64_t after = viewer.frameScheduler.lastFrame().serial;
        glutPostRedisplay();
        ASSERT_TRUE(pumpUntil(
            [after] {
                const FrameRecord& last = viewer.frameScheduler.lastFrame();
                return !viewer.copcLod->cache().busy() &&
                       !viewer.frameScheduler.wholeFramePending() && last.full &&
                       last.serial > after;
            },
            std::chrono::seconds(30)));
    }
    // The distinct colours of the lit pixels.
    std::set<std::array<unsigned char, 3>> colours() {
        const Image image = backImage();
        std::set<std::array<unsigned char, 3>> all;
        for (size_t p = 0; p + 2 < image.size(); p += 3)
            if (image[p] || image[p + 1] || image[p + 2])
                all.insert({image[p], image[p + 1], image[p + 2]});
        return all;
    }
    // Every held node's arrival: the same ids mean nothing was decoded again.
    std::map<CopcKey, uint64_t> arrivals() {
        std::map<CopcKey, uint64_t> ids;
        CopcNodeCache& cache = viewer.copcLod->cache();
        for (const CopcNode& node : cache.file().hierarchy().nodes())
            if (const CachedNode* held = cache.find(node.key))
                ids[node.key] = held->id;
        return ids;
    }
    std::map<std::string, std::string> legendCounts() {
        std::map<std::string, std::string> counts;
        for (const Legend::Row& row : currentLegend().rows)
            counts[row.text.substr(0, row.text.find(' '))] = row.count;
        return counts;
    }
};

} // namespace

TEST_F(StreamedAttributes, ClassColoursHiddenClassesAndWithheldPointsFollowTheSwitches) {
    ASSERT_GT(viewer.copcLod->cache().file().hierarchy().nodes().size(), 4u);
    EXPECT_EQ(viewer.frameScheduler.lastFrame().points, 6 * kSlabPoints - 6 * kSide)
        << "noise and withheld points hidden";
    std::set<std::array<unsigned char, 3>> shown;
    for (int code : {2, 3, 4, 5, 6, 9})
        shown.insert(classRgb(code));
    EXPECT_EQ(colours(), shown) << "class colours, and no noise";
    EXPECT_EQ(legendCounts(), (std::map<std::string, std::string>{{"2", "3240"},
                                                                  {"3", "3600"},
                                                                  {"4", "3600"},
                                                                  {"5", "3600"},
                                                                  {"6", "3600"},
                                                                  {"9", "3600"}}));
    // The classes window offers the classes of the root node, their counts scaled to the file.
    const PointVisibility& visibility = viewer.pointSet.visibility;
    EXPECT_TRUE(visibility.hasClasses());
    EXPECT_TRUE(visibility.estimated());
    int64_t estimated = 0;
    for (int code : kSlabClasses)
        estimated += visibility.classCounts()[code];
    EXPECT_NEAR(double(estimated), double(kSlabs * kSlabPoints), 8.0);
    EXPECT_EQ(visibility.classCounts()[1], 0);

    const std::map<CopcKey, uint64_t> decoded = arrivals();
    viewer.pointSet.visibility.classShown[18] = 1;
    viewer.pointSet.visibility.changed();
    graphicsKey('w', 0, 0);
    atRest();
    shown.insert(classRgb(18));
    EXPECT_EQ(colours(), shown);
    EXPECT_EQ(legendCounts()["2"], "3600") << "withheld points shown";
    EXPECT_EQ(legendCounts()["18"], "3600");
    EXPECT_EQ(arrivals(), decoded) << "the held nodes are not decoded again";
}

TEST_F(StreamedAttributes, EveryModeColoursNodesAlikeWithoutDecodingThemAgain) {
    const std::map<CopcKey, uint64_t> decoded = arrivals();
    // Height: one ramp for all nodes, so that each of the six slabs shown is one colour.
    viewer.displaySettings.colourMode = ColourMode::Height;
    atRest();
    const size_t heights = colours().size();
    EXPECT_LE(heights, 6u);
    EXPECT_GE(heights, 4u) << "the slabs' heights differ";

    // Return: two kinds, first of many and last of many.
    viewer.displaySettings.colourMode = ColourMode::Return;
    atRest();
    unsigned char first[3], last[3];
    returnColour(ReturnKind::First, first);
    returnColour(ReturnKind::Last, last);
    EXPECT_EQ(colours(), (std::set<std::array<unsigned char, 3>>{{first[0], first[1], first[2]},
                                                                 {last[0], last[1], last[2]}}));

    // Intensity: grey rising with x along every row.
    viewer.displaySettings.colourMode = ColourMode::Intensity;
    atRest();
    for (const auto& colour : colours())
        EXPECT_TRUE(colour[0] == colour[1] && colour[1] == colour[2]);
    EXPECT_GT(colours().size(), 20u);
    EXPECT_EQ(currentLegend().low, "0") << "the root's ramp, in the legend";

    // The `c` key cycles through the modes the nodes' attributes offer, back to the file's.
    viewer.displaySettings.colourMode = ColourMode::Return;
    graphicsKey('c', 0, 0);
    EXPECT_EQ(viewer.displaySettings.colourMode, ColourMode::File);
    atRest();
    const std::set<std::array<unsigned char, 3>> file = colours();
    ASSERT_EQ(file.size(), 1u);
    EXPECT_NEAR(file.begin()->at(0), 128, 1);
    EXPECT_NEAR(file.begin()->at(1), 64, 1);
    EXPECT_NEAR(file.begin()->at(2), 191, 1);
    EXPECT_EQ(arrivals(), decoded);
}

TEST_F(StreamedAttributes, DoubleClickShowsThePointsAttributes) {
    // A point of slab 2 at x = 30 (of whichever y is nearest the eye): class 4, intensity 30000.
    const WindowPoint w = project(30.0 - viewer.pointSet.shift[0], -viewer.pointSet.shift[1],
                                  2.0 - viewer.pointSet.shift[2]);
    const int x = int(w.x), y = 399 - int(w.y);
    mouseClick(x, y);
    mouseClick(x, y);
    ASSERT_TRUE(viewer.query.marked);
    const std::vector<std::string>& lines = viewer.query.lines;
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "x 30");
    EXPECT_EQ(lines[2], "z 2");
    EXPECT_EQ(lines[3], "colour 128 64 191");
    EXPECT_EQ(lines[4].substr(0, 8), "class 4 ");
    EXPECT_EQ(lines[5], "intensity 30000");
    EXPECT_EQ(lines[6].substr(0, 7), "return ");
}

// On a GPU renderer (forced here) a node with hidden points keeps its buffer, uploaded once: the
// switches change the list of its points drawn, not what it holds.
TEST_F(StreamedAttributes, NodesWithHiddenPointsKeepTheirBuffers) {
    PointRenderer& renderer = viewer.frameScheduler.renderer;
    drawCompleteFrame();
    const Image fromArrays = backImage();
    renderer.setLargeFramePath(PointPath::Gl);
    renderer.setNodeBuffers(true);
    drawCompleteFrame();
    EXPECT_TRUE(backImage() == fromArrays);
    const size_t nodes = viewer.copcLod->lastSegments().size();
    EXPECT_EQ(renderer.bufferUploads(), int64_t(nodes)) << "one a node drawn";

    viewer.pointSet.visibility.classShown[18] = 1;
    viewer.pointSet.visibility.changed();
    graphicsKey('w', 0, 0);
    atRest();
    renderer.setNodeBuffers(false);
    drawCompleteFrame();
    const Image allFromArrays = backImage();
    EXPECT_FALSE(allFromArrays == fromArrays);
    renderer.setNodeBuffers(true);
    drawCompleteFrame();
    EXPECT_TRUE(backImage() == allFromArrays);
    EXPECT_EQ(renderer.bufferUploads(), int64_t(nodes)) << "none again";
}
