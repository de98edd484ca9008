// tests/viewer/scene_streamed_test.cpp - a scene of an octree file streamed beside a file read
// whole: the picture read whole, the shared memory budget, the query of a streamed point, the
// class switches and the one height ramp across both.
#include "io/classification.h"
#include "io/copc/copc_cloud_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/small_las.h"
#include "tests/viewer/viewer_fixture.h"

#include "viewer/attribute_colours.h"
#include "viewer/frame.h"
#include "viewer/legend.h"
#include "viewer/level_of_detail.h"
#include "viewer/overlays.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr double kEast = 500000.0, kNorth = 4000000.0;
constexpr int kSide = 60;
constexpr int kOctreePoints = kSide * kSide * 2;
// More records than any frame's budget, so that they may get an octree of their own.
constexpr int kTileSide = 150;
constexpr int kTilePoints = kTileSide * kTileSide;

// Two slabs of kSide x kSide points near (kEast, kNorth): z 0 of class 2, z 10 of class 6 (far
// enough apart for the root to sample both), written as an octree file of small nodes.
std::string writeOctree() {
    std::vector<PointRecord> records;
    PointCloud cloud;
    cloud.shift[0] = kEast, cloud.shift[1] = kNorth;
    cloud.shifted = true;
    PointAttributes& a = cloud.attributes;
    a.present = kIntensity | kClassification;
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                records.push_back(
                    {float(x), float(y), float(10 * z), 0.25f, 0.5f + 0.25f * z, 0.75f});
                a.intensity.push_back(uint16_t(x * 1000));
                a.classification.push_back(uint8_t(z == 0 ? 2 : 6));
            }
    cloud.points = records.data();
    cloud.count = int32_t(records.size());
    cloud.computeBounds();
    CopcCloudOptions options;
    options.nodePoints = 1500;
    options.grid = 16;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(writeCopcCloud(cloud, lazMemorySink(bytes), options));
    return writeScratchFile("scene-slabs.copc.laz", bytes);
}

// A LAS tile east of the slabs and above them, at z 20: classes 2 and 6 in alternate columns.
std::string writeTile() {
    SmallLas las;
    las.offset[0] = kEast, las.offset[1] = kNorth;
    for (int i = 0; i < kTileSide; ++i)
        for (int j = 0; j < kTileSide; ++j)
            las.points.push_back({7000 + i * 10, 1000 + j * 10, 2000, 60000, 20000, 0,
                                  uint16_t(i * 400), uint8_t(i % 2 ? 6 : 2)});
    const std::string path = scratchDir() + "scene-tile.las";
    EXPECT_TRUE(las.write(path));
    return path;
}

std::set<std::array<unsigned char, 3>> litColours(const Image& image) {
    std::set<std::array<unsigned char, 3>> all;
    for (size_t p = 0; p + 2 < image.size(); p += 3)
        if (image[p] || image[p + 1] || image[p + 2])
            all.insert({image[p], image[p + 1], image[p + 2]});
    return all;
}

class StreamedScene : public GraphicsWindowTest {
protected:
    void SetUp() override {
        octree = writeOctree();
        tile = writeTile();
    }
    // The scene of both files, the octree file streamed or read whole, its window open.
    void openScene(bool streamed, uint64_t memory = uint64_t(1) << 30) {
        viewer.lodSettings.streamPointsAbove = streamed ? 0 : kStreamedPointsMinimum;
        viewer.pointSet.hiddenAtStart = {};
        viewer.pointSet.loadFiles({octree.c_str(), tile.c_str()}, memory);
        viewer.showAxis = 0;
    }
    std::string octree, tile;
};

} // namespace

// The octree file streamed draws what it draws read whole, from the same eye: one shift for
// both files, the tile's records held (alone, then through their octree) and the slabs' nodes
// beside them.
TEST_F(StreamedScene, StreamedPartDrawsWhatTheWholeReadDraws) {
    openScene(false);
    ASSERT_FALSE(viewer.sceneLod) << "a small octree file is read whole";
    ASSERT_EQ(viewer.pointSet.count, kOctreePoints + kTilePoints);
    const PointCloud whole = static_cast<const PointCloud&>(viewer.pointSet);
    openWindow();
    drawCompleteFrame();
    const Image wholeImage = backImage();
    TearDown();

    openScene(true);
    ASSERT_TRUE(viewer.sceneLod);
    PointSet& set = viewer.pointSet;
    EXPECT_EQ(set.count, kTilePoints) << "only the tile is read whole";
    EXPECT_EQ(set.sceneName(), "2 files");
    EXPECT_EQ(set.formatDescription, "2 files");
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(set.shift[axis], whole.shift[axis]);
    EXPECT_EQ(viewer.sceneLod->parts()[0]->cache().shift()[0], whole.shift[0]);
    // The union of the boxes: the declared box is the slabs' own here.
    EXPECT_FLOAT_EQ(set.nearCorner[0], whole.nearCorner[0]);
    EXPECT_FLOAT_EQ(set.farCorner[0], whole.farCorner[0]);
    EXPECT_FLOAT_EQ(set.nearCorner[2], whole.nearCorner[2]);
    std::copy(whole.centroid, whole.centroid + 3, set.centroid);
    set.viewDistance = whole.viewDistance;
    openWindow();
    drawCompleteFrame();
    const Image streamedImage = backImage();
    size_t lit = 0, differing = 0;
    for (size_t p = 0; p + 2 < wholeImage.size(); p += 3) {
        lit += wholeImage[p] || wholeImage[p + 1] || wholeImage[p + 2];
        differing += !std::equal(&wholeImage[p], &wholeImage[p + 3], &streamedImage[p]);
    }
    EXPECT_GT(lit, 1000u);
    EXPECT_LE(double(differing), 0.01 * double(lit));
    EXPECT_GT(segmentPoints(viewer.sceneLod->parts()[0]->lastSegments()), kSide * kSide / 2);

    // The tile's records through their own octree, built once a frame shows it is needed
    // (a frame budget below any cloud), draw the same picture among the streamed nodes.
    viewer.lodSettings.octree.nodePoints = 64;
    viewer.frameScheduler.frameSeconds = 1e-9;
    redraw();
    ASSERT_TRUE(viewer.cloudOctree);
    ASSERT_TRUE(pumpUntil(
        [] {
            return viewer.cloudOctree->state() == CloudOctree::State::Ready &&
                   !viewer.frameScheduler.wholeFramePending() &&
                   viewer.frameScheduler.lastFrame().full;
        },
        std::chrono::seconds(30)));
    drawCompleteFrame();
    const Image throughOctree = backImage();
    differing = 0;
    for (size_t p = 0; p + 2 < wholeImage.size(); p += 3)
        differing += !std::equal(&wholeImage[p], &wholeImage[p + 3], &throughOctree[p]);
    EXPECT_LE(double(differing), 0.01 * double(lit));

    // One height ramp for both: the tile's height and the slabs' in it.
    const ColourRamps& ramps = viewer.sceneLod->parts()[0]->ramps();
    const float shiftZ = float(set.shift[2]);
    EXPECT_LE(ramps.height.low, 0.5f - shiftZ);
    EXPECT_GE(ramps.height.high, 19.5f - shiftZ)
        << "the tile, read whole, is in the streamed file's ramp";
    EXPECT_EQ(viewer.pointColours.heightSpanOf(set).high, ramps.height.high);
    EXPECT_EQ(viewer.pointColours.heightSpanOf(set).low, ramps.height.low);
}

// An octree file that does not fit the memory beside the tile is streamed, within what the
// tile leaves, rather than left out.
TEST_F(StreamedScene, OctreeBeyondTheMemoryIsStreamedNotLeftOut) {
    const uint64_t memory = 64 * 1024;
    openScene(false, memory);
    ASSERT_TRUE(viewer.sceneLod);
    ASSERT_EQ(viewer.sceneLod->parts().size(), 1u);
    EXPECT_EQ(viewer.pointSet.files.size(), 2u);
    EXPECT_EQ(viewer.pointSet.count, kTilePoints);
    const CopcNodeCache& cache = viewer.sceneLod->parts()[0]->cache();
    EXPECT_LT(uint64_t(cache.budgetPoints()) * sizeof(PointRecord), memory);
    EXPECT_LT(cache.budgetPoints(), kOctreePoints);
    openWindow();
    // The window's own frames: the nodes arrive on the workers and a frame at rest follows.
    ASSERT_TRUE(pumpUntil(
        [&cache] {
            const FrameRecord& last = viewer.frameScheduler.lastFrame();
            return !cache.busy() && !viewer.frameScheduler.wholeFramePending() && last.full;
        },
        std::chrono::seconds(30)));
    EXPECT_GT(viewer.frameScheduler.lastFrame().points, kTilePoints);
    EXPECT_GT(segmentPoints(viewer.sceneLod->parts()[0]->lastSegments()), 0);
    EXPECT_LE(cache.heldPoints(), cache.budgetPoints());
    EXPECT_EQ(statusParts().front(), "2 files");
    EXPECT_EQ(statusParts()[1], std::to_string(kTilePoints + kOctreePoints) + " points");
}

// A hidden class goes from both files, the legend counting what each draws; a double-click on
// a streamed point names its file in the query and the status line.
TEST_F(StreamedScene, ClassSwitchesAndQueryReachTheStreamedFile) {
    openScene(true);
    viewer.displaySettings.colourMode = ColourMode::Classification;
    PointVisibility& visibility = viewer.pointSet.visibility;
    EXPECT_TRUE(visibility.hasClasses());
    EXPECT_TRUE(visibility.estimated(6)) << "the streamed file's count is estimated";
    EXPECT_GT(visibility.classCounts()[6], kTilePoints / 2);
    openWindow();
    drawCompleteFrame();
    unsigned char ground[3], building[3];
    classColour(2, ground);
    classColour(6, building);
    const std::array<unsigned char, 3> groundRgb = {ground[0], ground[1], ground[2]};
    const std::array<unsigned char, 3> buildingRgb = {building[0], building[1], building[2]};
    EXPECT_EQ(litColours(backImage()),
              (std::set<std::array<unsigned char, 3>>{groundRgb, buildingRgb}));

    const CopcLod& part = *viewer.sceneLod->parts()[0];
    // Class 6 hidden: neither the tile's columns of it nor the slabs' top are drawn.
    visibility.classShown[6] = 0;
    visibility.changed();
    drawCompleteFrame();
    EXPECT_EQ(litColours(backImage()), (std::set<std::array<unsigned char, 3>>{groundRgb}));
    int64_t drawn[256];
    part.drawnClassCounts(drawn);
    EXPECT_EQ(drawn[6], 0);
    EXPECT_GT(drawn[2], 0);
    EXPECT_EQ(visibility.drawnCount(), kTilePoints / 2);
    const Legend legend = currentLegend();
    ASSERT_EQ(legend.rows.size(), 1u);
    EXPECT_EQ(legend.rows[0].text.substr(0, 2), "2 ");
    EXPECT_EQ(legend.rows[0].count, std::to_string(kTilePoints / 2 + drawn[2]));

    visibility.classShown[6] = 1;
    visibility.changed();
    drawCompleteFrame();
    // The slabs' top is class 6 everywhere: a root point of it is drawn.
    const CachedNode* root = part.cache().find(CopcKey{});
    ASSERT_NE(root, nullptr);
    size_t top = 0;
    const float topZ = float(10.0 - viewer.pointSet.shift[2]);
    while (top < root->points.size() && root->points[top].z != topZ)
        ++top;
    ASSERT_LT(top, root->points.size());
    const PointRecord& p = root->points[top];
    const WindowPoint w = project(p.x, p.y, p.z);
    const int x = int(w.x), y = glutGet(GLUT_WINDOW_HEIGHT) - 1 - int(w.y);
    mouseClick(x, y);
    mouseClick(x, y);
    ASSERT_TRUE(viewer.query.marked);
    EXPECT_EQ(viewer.query.file, octree);
    ASSERT_FALSE(viewer.query.lines.empty());
    EXPECT_EQ(viewer.query.lines.front(), "file " + octree);
    EXPECT_NE(
        std::find(viewer.query.lines.begin(), viewer.query.lines.end(), "class 6 " + className(6)),
        viewer.query.lines.end());
    const std::vector<std::string> status = statusParts();
    EXPECT_NE(std::find(status.begin(), status.end(), "point from " + octree), status.end());
}
