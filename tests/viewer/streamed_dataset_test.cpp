// tests/viewer/streamed_dataset_test.cpp - a tiled dataset streamed into the graphics window: the
// picture at rest is the whole read's for both encodings, a streamed point shows its attributes,
// and damaged nodes are skipped with one line each while the rest shows.
#include "tests/io/ept/ept_test_files.h"
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/frame.h"
#include "viewer/level_of_detail.h"
#include "viewer/point_marks.h"
#include "viewer/viewer_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class StreamedDataset : public GraphicsWindowTest {
protected:
    // Writes made below a folder of its own and returns its ept.json.
    std::string write(const MadeEpt& made, const char* name) {
        const std::string path = folder_.path + "/" + name;
        EXPECT_TRUE(writeEptFiles(path, makeEptFiles(made)));
        return path + "/ept.json";
    }
    void stream(const std::string& path) {
        viewer.lodSettings.streamPointsAbove = 0;
        ASSERT_TRUE(streamOctreeFile(path.c_str(), uint64_t(1) << 30));
        ASSERT_TRUE(viewer.copcLod);
        viewer.showAxis = 0;
        openWindow();
    }
    // The sample dataset with attributes in encoding type, written under tag and streamed; the
    // window of an earlier encoding goes first.
    std::string streamSample(EptDataType type, const std::string& tag) {
        if (type != EptDataType::Binary)
            TearDown();
        MadeEpt made = sampleEpt(type);
        made.attributes = true;
        const std::string path =
            write(made, (tag + (type == EptDataType::Binary ? "bin" : "laz")).c_str());
        stream(path);
        return path;
    }
    // The whole read of path drawn through the start view the stream had.
    Image wholeRead(const std::string& path, ColourMode mode = ColourMode::File) {
        PointSet& set = viewer.pointSet;
        const PointSet streamed = copyOfBox(set);
        TearDown();
        set.load(path.c_str());
        EXPECT_FALSE(viewer.copcLod);
        std::copy(std::begin(streamed.nearCorner), std::end(streamed.nearCorner), set.nearCorner);
        std::copy(std::begin(streamed.farCorner), std::end(streamed.farCorner), set.farCorner);
        std::copy(std::begin(streamed.centroid), std::end(streamed.centroid), set.centroid);
        set.computeViewDistance(kFramingFieldOfViewX);
        resetView(viewer.viewState, set);
        viewer.showAxis = 0;
        viewer.displaySettings.colourMode = mode;
        openWindow();
        drawCompleteFrame();
        return backImage();
    }
    static PointSet copyOfBox(const PointSet& set) {
        PointSet box;
        std::copy(std::begin(set.nearCorner), std::end(set.nearCorner), box.nearCorner);
        std::copy(std::begin(set.farCorner), std::end(set.farCorner), box.farCorner);
        std::copy(std::begin(set.centroid), std::end(set.centroid), box.centroid);
        return box;
    }

    ScratchFolder folder_{"streamed"};
};

} // namespace

TEST_F(StreamedDataset, PictureAtRestIsTheWholeReadsForBothEncodings) {
    for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
        SCOPED_TRACE(type == EptDataType::Binary ? "binary" : "laszip");
        const std::string path = streamSample(type, "");
        EXPECT_EQ(viewer.pointSet.count, 0) << "no records are read whole";
        EXPECT_EQ(viewer.pointSet.format, Format::Ept);
        EXPECT_EQ(viewer.copcLod->declaredPoints(), 130);
        // A screenshot's frame waits for every node the view wants.
        drawCompleteFrame();
        EXPECT_EQ(segmentPoints(viewer.copcLod->lastSegments()), 130);
        const Image streamed = backImage();
        const Image whole = wholeRead(path);
        EXPECT_GT(std::count_if(whole.begin(), whole.end(), [](unsigned char c) { return c; }), 0);
        EXPECT_TRUE(streamed == whole);
    }
}

// The class colours come from each node's own column, and match the whole read's; the file's
// colours come back when the mode goes back.
TEST_F(StreamedDataset, ClassColoursAreTheWholeReads) {
    for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
        SCOPED_TRACE(type == EptDataType::Binary ? "binary" : "laszip");
        const std::string path = streamSample(type, "c");
        drawCompleteFrame();
        const Image fileColours = backImage();
        viewer.displaySettings.colourMode = ColourMode::Classification;
        drawCompleteFrame();
        const Image classColours = backImage();
        EXPECT_FALSE(classColours == fileColours);
        viewer.displaySettings.colourMode = ColourMode::File;
        drawCompleteFrame();
        EXPECT_TRUE(backImage() == fileColours);
        EXPECT_TRUE(classColours == wholeRead(path, ColourMode::Classification));
    }
}

// A double-click on a streamed point gives its node's attributes, as the whole read's record
// gives them.
TEST_F(StreamedDataset, PickedPointShowsItsNodesAttributes) {
    for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
        SCOPED_TRACE(type == EptDataType::Binary ? "binary" : "laszip");
        const std::string path = streamSample(type, "q");
        drawCompleteFrame();
        // Point 7 of node 1-1-1-1, as stored.
        const CachedNode* node = viewer.copcLod->cache().find({1, 1, 1, 1});
        ASSERT_TRUE(node);
        ASSERT_EQ(node->points.size(), 25u);
        DoubleClick click;
        click.happened = click.picked = true;
        click.position[0] = node->points[7].x, click.position[1] = node->points[7].y;
        click.position[2] = node->points[7].z;
        markDoubleClick(click);
        const std::vector<std::string> expected = {"x 48.00",
                                                   "y 32.71",
                                                   "z 45.36",
                                                   "colour 30 1 2",
                                                   "class 3 Low Vegetation",
                                                   "intensity 107",
                                                   "return 2 of 3",
                                                   "GPS time 150000301.750000",
                                                   "point source 1030",
                                                   "scan angle -4.800 deg",
                                                   "user data 37",
                                                   "flags synthetic"};
        EXPECT_EQ(viewer.query.lines, expected);
    }
}

// Each damaged node or hierarchy file costs one line and its own points; the rest is drawn.
TEST_F(StreamedDataset, DamagedNodesAreSkippedWithOneLineEach) {
    struct Case {
        const char* what;
        EptDataType type;
        void (*damage)(EptFiles& files);
        int64_t drawn;
        const char* message;
    };
    const Case cases[] = {
        {"missing node file", EptDataType::Binary,
         [](EptFiles& f) { f.erase("ept-data/1-0-0-0.bin"); }, 100,
         "node 1-0-0-0 cannot be read: "},
        {"binary node cut short", EptDataType::Binary,
         [](EptFiles& f) { f["ept-data/2-2-2-3.bin"].pop_back(); }, 115,
         "node 2-2-2-3 holds 299 bytes, not the 15 records of 20 bytes its count says"},
        {"compressed node cut short", EptDataType::Laszip,
         [](EptFiles& f) { f["ept-data/1-0-0-0.laz"].resize(600); }, 100, "node 1-0-0-0 "},
        {"compressed root missing", EptDataType::Laszip,
         [](EptFiles& f) { f.erase("ept-data/0-0-0-0.laz"); }, 90, "node 0-0-0-0 cannot be read"},
        {"subtree file not JSON", EptDataType::Laszip,
         [](EptFiles& f) { f["ept-hierarchy/1-1-1-1.json"] = textBytes("{\"1-1-1-1\": 2"); }, 70,
         "1-1-1-1.json: not a JSON object of node counts"},
    };
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetViewer();
        EptFiles files = makeEptFiles(sampleEpt(c.type));
        c.damage(files);
        const std::string path = folder_.path + "/damaged" + std::to_string(++made);
        ASSERT_TRUE(writeEptFiles(path, files));
        viewer.lodSettings.streamPointsAbove = 0;
        ASSERT_TRUE(streamOctreeFile((path + "/ept.json").c_str(), uint64_t(1) << 30));
        // No window: its timer would take the damage in before the test does.
        reshapeView(viewer.viewState, viewer.pointSet, 400, 400);
        std::vector<std::string> damage;
        viewer.copcLod->settle(currentView(), damage);
        // The root, decoded as the stream opens, was reported then, on standard error.
        if (c.drawn != 90) {
            ASSERT_EQ(damage.size(), 1u) << (damage.empty() ? "" : damage[0]);
            EXPECT_NE(damage[0].find(c.message), std::string::npos) << damage[0];
        } else {
            EXPECT_TRUE(damage.empty());
        }
        viewer.copcLod->frame(currentView(), -1, PointSource());
        EXPECT_EQ(segmentPoints(viewer.copcLod->lastSegments()), c.drawn);
    }
}

// Below the threshold and within the memory the dataset is read whole, as an octree file is.
TEST_F(StreamedDataset, SmallDatasetIsReadWhole) {
    const std::string path = write(sampleEpt(EptDataType::Binary), "small");
    EXPECT_FALSE(streamOctreeFile(path.c_str(), uint64_t(1) << 30));
    EXPECT_FALSE(viewer.copcLod);
    viewer.lodSettings.streamPointsAbove = 0;
    EXPECT_TRUE(streamOctreeFile(path.c_str(), uint64_t(1) << 30));
}

// In a scene, a dataset is streamed as a part of its own beside a file read whole, and draws
// what it draws read whole there.
TEST_F(StreamedDataset, SceneStreamsTheDatasetBesideAFileReadWhole) {
    const std::string path = write(sampleEpt(EptDataType::Laszip), "scene");
    const std::string beside =
        writeCloud("scene-beside.txt", {{70, 10, 10, 1, 0, 0}, {72, 12, 20, 0, 1, 0}});
    PointSet& set = viewer.pointSet;
    set.loadFiles({path.c_str(), beside.c_str()}, uint64_t(1) << 30);
    ASSERT_FALSE(viewer.sceneLod) << "a small dataset is read whole";
    const PointSet box = copyOfBox(set);
    viewer.showAxis = 0;
    openWindow();
    drawCompleteFrame();
    const Image whole = backImage();
    EXPECT_GT(std::count_if(whole.begin(), whole.end(), [](unsigned char c) { return c; }), 100);
    TearDown();

    viewer.lodSettings.streamPointsAbove = 0;
    set.loadFiles({path.c_str(), beside.c_str()}, uint64_t(1) << 30);
    ASSERT_TRUE(viewer.sceneLod);
    EXPECT_EQ(set.count, 2);
    EXPECT_EQ(set.sceneName(), "2 files");
    std::copy(std::begin(box.nearCorner), std::end(box.nearCorner), set.nearCorner);
    std::copy(std::begin(box.farCorner), std::end(box.farCorner), set.farCorner);
    std::copy(std::begin(box.centroid), std::end(box.centroid), set.centroid);
    set.computeViewDistance(kFramingFieldOfViewX);
    viewer.showAxis = 0;
    openWindow();
    drawCompleteFrame();
    EXPECT_EQ(segmentPoints(viewer.sceneLod->parts()[0]->lastSegments()), 130);
    EXPECT_TRUE(backImage() == whole);
}
