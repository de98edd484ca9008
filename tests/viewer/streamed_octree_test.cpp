// tests/viewer/streamed_octree_test.cpp - an octree LAZ file streamed into the graphics window:
// its nodes arrive on the workers and the picture at rest lights what every point lights; the
// picture a screenshot takes waits for them and is the same each time; the budget bounds what
// is drawn; damaged nodes are skipped with one line each.
#include "tests/io/copc/copc_test_files.h"
#include "tests/viewer/viewer_fixture.h"

#include "tests/support/scratch_dir.h"
#include "viewer/frame.h"
#include "viewer/level_of_detail.h"
#include "viewer/overlays.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

size_t litPixels(const Image& image) {
    size_t lit = 0;
    for (size_t p = 0; p < image.size(); p += 3)
        lit += image[p] || image[p + 1] || image[p + 2];
    return lit;
}

class StreamedOctree : public GraphicsWindowTest {
protected:
    void stream(const std::string& path, uint64_t memory = uint64_t(1) << 30) {
        viewer.lodSettings.streamPointsAbove = 0;
        ASSERT_TRUE(streamOctreeFile(path.c_str(), memory));
        ASSERT_TRUE(viewer.copcLod);
        viewer.showAxis = 0;
        openWindow();
    }
    // Until every node the view wants has arrived and a frame at rest of them is on screen.
    bool waitForRest() {
        return pumpUntil(
            [] {
                const FrameRecord& last = viewer.frameScheduler.lastFrame();
                return !viewer.copcLod->cache().busy() &&
                       !viewer.frameScheduler.wholeFramePending() && last.full;
            },
            std::chrono::seconds(30));
    }
    // Every point of the file drawn by one GL_POINTS call through the view on screen.
    Image everyPoint(const std::string& path) {
        PointCloud whole;
        loadCloudOrExit(path.c_str(), whole);
        // The whole read and the stream store the points against the same shift.
        EXPECT_EQ(whole.shift[0], viewer.pointSet.shift[0]);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), &whole.points->x);
        glColor3f(1.0f, 1.0f, 1.0f);
        glDrawArrays(GL_POINTS, 0, whole.count);
        glDisableClientState(GL_VERTEX_ARRAY);
        glFinish();
        releasePoints(whole.points);
        return backImage();
    }
};

} // namespace

TEST_F(StreamedOctree, PictureAtRestLightsEveryPointAndIsTheSameEachTime) {
    // 585 nodes of one point: at the start view every level's spacing covers pixels.
    const std::string path =
        writeScratchFile("stream-full.copc.laz", makeOctreeFile(fullOctree(3)));
    stream(path);
    EXPECT_EQ(viewer.pointSet.count, 0) << "no records are read whole";
    EXPECT_FLOAT_EQ(viewer.pointSet.centroid[0], 50.0f) << "the header's box centre";
    ASSERT_TRUE(waitForRest());
    EXPECT_EQ(viewer.frameScheduler.lastFrame().points, 585);
    const Image atRest = backImage();
    const Image all = everyPoint(path);
    size_t differing = 0;
    for (size_t p = 0; p < all.size(); p += 3)
        differing += bool(all[p] | all[p + 1] | all[p + 2]) !=
                     bool(atRest[p] | atRest[p + 1] | atRest[p + 2]);
    EXPECT_LE(double(differing), 0.01 * double(litPixels(all)));
    TearDown();

    // A screenshot's frame, asked for before any node but the root has arrived, waits for
    // them all and draws the same picture.
    stream(path);
    drawCompleteFrame();
    EXPECT_TRUE(backImage() == atRest);
    EXPECT_EQ(segmentPoints(viewer.copcLod->lastSegments()), 585);
}

TEST_F(StreamedOctree, MemoryBudgetBoundsThePointsHeldAndDrawn) {
    const std::string path =
        writeScratchFile("stream-budget.copc.laz", makeOctreeFile(fullOctree(3)));
    stream(path, 100 * (CopcNodeCache::pointBytes(7) + kCopcLodPointBytes));
    drawCompleteFrame();
    const int64_t drawn = segmentPoints(viewer.copcLod->lastSegments());
    EXPECT_LE(drawn, 100);
    EXPECT_GE(drawn, 73) << "the two coarsest levels fit";
    EXPECT_LE(viewer.copcLod->cache().heldPoints(), 100);
    // Zoomed onto a corner, other nodes are wanted: the budget still holds.
    zoomAt(viewer.viewState, viewer.pointSet, 20, 20, 15);
    drawCompleteFrame();
    EXPECT_GT(segmentPoints(viewer.copcLod->lastSegments()), 0);
    viewer.copcLod->cache().want({}, 0);
    std::vector<std::string> damage;
    while (viewer.copcLod->cache().busy()) {
        viewer.copcLod->cache().waitForArrival();
        viewer.copcLod->collect(damage);
    }
    EXPECT_LE(viewer.copcLod->cache().heldPoints(), 100);
}

// On a GPU renderer nodes are drawn from buffer objects, each uploaded once: forced here on the
// software renderer, the picture is the one drawn from the nodes' arrays.
TEST_F(StreamedOctree, NodeBuffersAreUploadedOnceAndDrawTheSamePicture) {
    const std::string path =
        writeScratchFile("stream-buffers.copc.laz", makeOctreeFile(fullOctree(3)));
    stream(path);
    PointRenderer& renderer = viewer.frameScheduler.renderer;
    EXPECT_FALSE(renderer.nodeBuffers()) << "not on the software renderer unless forced";
    drawCompleteFrame();
    const Image fromArrays = backImage();
    EXPECT_EQ(renderer.bufferUploads(), 0);

    renderer.setLargeFramePath(PointPath::Gl);
    renderer.setNodeBuffers(true);
    drawCompleteFrame();
    EXPECT_TRUE(backImage() == fromArrays);
    EXPECT_EQ(renderer.bufferUploads(), 585) << "one a node drawn";
    drawCompleteFrame();
    redraw();
    ASSERT_TRUE(waitForRest());
    EXPECT_TRUE(backImage() == fromArrays);
    EXPECT_EQ(renderer.bufferUploads(), 585) << "none again";
    EXPECT_EQ(renderer.buffersHeld(), 585u);
}

// An index page held back on its way, as a slow server's: frames go on drawing what lies above
// it, the page is read once, and once it comes the walk descends below it to the picture at
// rest an unhindered read gives, which a screenshot's frame waits for.
TEST_F(StreamedOctree, HeldBackIndexPageStallsNoFrameAndChangesNoPicture) {
    const CopcKey paged{2, 0, 0, 0};
    const std::vector<uint8_t> bytes = makeOctreeFile(pagedOctree(3, paged));
    uint64_t pageOffset = 0, pageSize = 0;
    ASSERT_TRUE(childPagePlace(bytes, paged, pageOffset, pageSize));
    // Opened from a source that reads the page only through the gate, shut once the file is.
    auto streamGated = [&](bool shut) {
        GatedSource* gated = new GatedSource(bytes);
        std::unique_ptr<ByteSource> source(gated);
        viewer.lodSettings.streamPointsAbove = 0;
        EXPECT_TRUE(streamOctreeSource(source, uint64_t(1) << 30, 2));
        gated->setRange(int64_t(pageOffset), int64_t(pageOffset + pageSize));
        gated->setShut(shut);
        viewer.showAxis = 0;
        openWindow();
        return gated;
    };

    streamGated(false);
    drawCompleteFrame();
    const Image unhindered = backImage();
    EXPECT_EQ(segmentPoints(viewer.copcLod->lastSegments()), 585);
    // The status line counts the points the file declares, as a whole read counts its own.
    EXPECT_EQ(statusText().rfind("585 points", 0), 0u) << statusText();
    TearDown();

    GatedSource* gated = streamGated(true);
    EXPECT_EQ(gated->waitForWaiting(1), 1) << "the page's read waits on a worker";
    // 1-0-0-0 stands for its subtree: the 72 nodes below it wait, not only the page's nine.
    EXPECT_TRUE(pumpUntil([] { return viewer.frameScheduler.lastFrame().points == 585 - 72; },
                          std::chrono::seconds(30)))
        << viewer.frameScheduler.lastFrame().points;
    EXPECT_FALSE(viewer.frameScheduler.lastFrame().full) << "not at rest while the page is out";
    redraw();
    EXPECT_EQ(gated->rangeReads(), 1);
    gated->setShut(false);
    ASSERT_TRUE(waitForRest());
    EXPECT_EQ(viewer.frameScheduler.lastFrame().points, 585);
    EXPECT_TRUE(backImage() == unhindered);
    EXPECT_EQ(gated->rangeReads(), 1) << "the page is read once";
    TearDown();

    gated = streamGated(true);
    std::thread opener([gated] {
        gated->waitForWaiting(1);
        gated->setShut(false);
    });
    drawCompleteFrame();
    opener.join();
    EXPECT_EQ(segmentPoints(viewer.copcLod->lastSegments()), 585);
    EXPECT_TRUE(backImage() == unhindered);
}

// The viewer itself: a damaged node, or an index page that cannot be used, is skipped with one
// line, the rest shows, status 0.
TEST(StreamedOctreeProgram, DamagedNodesAndPagesAreSkippedWithOneLineEach) {
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* line;
    } rows[] = {
        {"node", makeOctreeFile(fullOctree(2)), "1-1-0-1"},
        {"page", makeOctreeFile(pagedOctree(2, {1, 1, 0, 1})), "hierarchy page 1-1-0-1"},
    };
    // The node claims three points in a chunk of one; the page is cut to a size of no whole
    // number of entries.
    const size_t node = findEntry(rows[0].bytes, rootPageOffset(rows[0].bytes),
                                  rootPageSize(rows[0].bytes), {1, 1, 0, 1});
    ASSERT_TRUE(node);
    uint64_t offset = 0;
    int32_t size = 0;
    std::memcpy(&offset, &rows[0].bytes[node + 16], 8);
    std::memcpy(&size, &rows[0].bytes[node + 24], 4);
    setEntry(rows[0].bytes, node, offset, size, 3);
    const size_t page = findEntry(rows[1].bytes, rootPageOffset(rows[1].bytes),
                                  rootPageSize(rows[1].bytes), {1, 1, 0, 1});
    ASSERT_TRUE(page);
    std::memcpy(&offset, &rows[1].bytes[page + 16], 8);
    setEntry(rows[1].bytes, page, offset, 31, -1);

    for (const Row& row : rows) {
        const std::string path =
            writeScratchFile(std::string("stream-damaged-") + row.name + ".copc.laz", row.bytes);
        const std::string shot = scratchDir() + "stream-damaged-" + row.name + ".png";
        const ProcessResult run =
            runProgram({POINTILLIST_EXE, "--memory", "1K", "--screenshot", shot, path});
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.ending();
        size_t lines = 0;
        for (char c : run.err)
            lines += c == '\n';
        EXPECT_EQ(lines, 1u) << row.name << ": " << run.err;
        EXPECT_NE(run.err.find(row.line), std::string::npos) << row.name << ": " << run.err;
    }
}
