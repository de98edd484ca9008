// tests/viewer/scene_files_test.cpp - several files opened as one scene: the shift, the files
// each record came from, the attributes of one file and not another, and the real executable's
// picture and messages.
#include "io/shift.h"
#include "tests/support/file_text.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/small_las.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/attribute_colours.h"
#include "viewer/overlays.h"
#include "viewer/point_query.h"
#include "viewer/viewer_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

Rgb at(const unsigned char* colours, int record) {
    const unsigned char* c = colours + 3 * record;
    return Rgb{c[0], c[1], c[2]};
}

const std::string VIEWER = POINTILLIST_EXE;

// A LAS tile of classes 2 and 5 with intensities, near 500000, 4000000.
std::string writeTile(const std::string& name) {
    SmallLas las;
    las.offset[0] = 500000.0, las.offset[1] = 4000000.0, las.offset[2] = 100.0;
    for (int i = 0; i < 8; ++i)
        las.points.push_back({i * 100, i * 50, i * 10, uint16_t(i * 8000), 0, 65535,
                              uint16_t(1000 * (i + 1)), uint8_t(i % 2 ? 5 : 2)});
    const std::string path = scratchDir() + name;
    EXPECT_TRUE(las.write(path));
    return path;
}

class SceneOfFiles : public ::testing::Test {
protected:
    void TearDown() override { resetViewer(); }
};

} // namespace

// A LAS tile and a native file without attributes, 40 units apart: one shift from their
// union's box, each record where its file put it and knowing its file; the class switches,
// class colours and intensity percentiles concern only the tile's records, and the query and
// the status line name the file of a point.
TEST_F(SceneOfFiles, OneShiftAndEachRecordWithItsFilesAttributes) {
    const std::string tile = writeTile("scene_tile.las");
    const std::string plain =
        writeCloud("scene_plain.txt",
                   {{500040.5, 4000001.25, 99.5, 1, 0, 0}, {500042.0, 4000003.0, 101.0, 0, 1, 0}});
    PointSet& set = viewer.pointSet;
    set.hiddenAtStart = {};
    set.loadFiles({tile.c_str(), plain.c_str()}, uint64_t(1) << 30);

    ASSERT_EQ(set.count, 10);
    ASSERT_EQ(set.files.size(), 2u);
    EXPECT_EQ(set.files[0].name, tile);
    EXPECT_EQ(set.files[1].first, 8);
    const double low[3] = {500000.0, 4000000.0, 99.5}, high[3] = {500042.0, 4000003.5, 101.0};
    double shift[3];
    ASSERT_TRUE(chooseShift(low, high, shift));
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(set.shift[axis], shift[axis]);
    EXPECT_EQ(double(set.points[7].x) + set.shift[0], 500007.0);
    EXPECT_EQ(double(set.points[8].y) + set.shift[1], 4000001.25);

    // The plain file's records are in no class: hiding every class leaves them drawn.
    EXPECT_EQ(set.visibility.classCounts()[2] + set.visibility.classCounts()[5], 8);
    EXPECT_EQ(set.visibility.classCounts()[0], 0);
    std::fill(std::begin(set.visibility.classShown), std::end(set.visibility.classShown), 0);
    set.visibility.changed();
    ASSERT_EQ(set.visibility.drawnCount(), 2);
    EXPECT_EQ(set.visibility.drawn()[0], 8u);

    // Class colours for the tile, the plain file's own colours for its records.
    const unsigned char* classes =
        viewer.pointColours.colours(set, ColourMode::Classification, &set);
    ASSERT_NE(classes, nullptr);
    unsigned char ground[3];
    classColour(2, ground);
    EXPECT_EQ(at(classes, 0), (Rgb{ground[0], ground[1], ground[2]}));
    EXPECT_EQ(at(classes, 8), RED);
    EXPECT_EQ(at(classes, 9), GREEN);
    // The intensities run from 1000 to 8000 over the tile alone, not from the plain file's 0.
    const IntensityRange range = viewer.pointColours.intensityRangeOf(set);
    EXPECT_EQ(range.low, 1000);
    EXPECT_EQ(range.high, 8000);
    const unsigned char* grey = viewer.pointColours.colours(set, ColourMode::Intensity, &set);
    EXPECT_EQ(at(grey, 0), BLACK);
    EXPECT_EQ(at(grey, 7), WHITE);
    EXPECT_EQ(at(grey, 8), RED);

    const PointQuery fromPlain = queryPoint(set, 9);
    EXPECT_EQ(fromPlain.lines.front(), "file " + plain);
    EXPECT_EQ(fromPlain.file, plain);
    for (const std::string& line : fromPlain.lines)
        EXPECT_EQ(line.find("class"), std::string::npos) << line;
    const PointQuery fromTile = queryPoint(set, 1);
    EXPECT_EQ(fromTile.lines.front(), "file " + tile);
    EXPECT_NE(std::find(fromTile.lines.begin(), fromTile.lines.end(), "class 5 High Vegetation"),
              fromTile.lines.end());

    EXPECT_EQ(statusParts().front(), "2 files");
    viewer.query = fromPlain;
    EXPECT_EQ(statusParts().back(), "point from " + plain);
}

// Two halves of one tile, one of them as an octree LAZ file, show the same picture as the tile
// in one file: the same shift, the same records in the same places and colours.
TEST(SceneScreenshot, TwoHalvesShowWhatTheWholeShows) {
    SmallLas whole, first, second;
    for (SmallLas* las : {&whole, &first, &second}) {
        las->scale[0] = las->scale[1] = las->scale[2] = 0.25;
        las->offset[0] = 637000.0, las->offset[1] = 851000.0, las->offset[2] = 400.0;
    }
    for (int i = 0; i < 24; ++i)
        for (int j = 0; j < 24; ++j) {
            const SmallLasPoint point = {
                i * 97, j * 61 + i * 7, (i * j) % 40, uint16_t(i * 2700), uint16_t(j * 2700),
                40000};
            whole.points.push_back(point);
            (i < 12 ? first : second).points.push_back(point);
        }
    const std::string dir = scratchDir();
    ASSERT_TRUE(whole.write(dir + "whole.las"));
    ASSERT_TRUE(first.write(dir + "first.las"));
    ASSERT_TRUE(second.write(dir + "second.las"));
    const ProcessResult converted =
        runProgram({POINTILLIST_CONVERT_EXE, dir + "second.las", dir + "second.copc.laz"});
    ASSERT_EQ(converted.status, 0) << converted.ending() << converted.err;

    const ProcessResult alone =
        runProgram({VIEWER, "--screenshot", dir + "whole.png", dir + "whole.las"});
    ASSERT_EQ(alone.status, 0) << alone.ending() << alone.err;
    const ProcessResult scene = runProgram(
        {VIEWER, "--screenshot", dir + "scene.png", dir + "first.las", dir + "second.copc.laz"});
    ASSERT_EQ(scene.status, 0) << scene.ending() << scene.err;
    EXPECT_EQ(scene.err, "");
    const std::string picture = fileText(dir + "whole.png");
    EXPECT_FALSE(picture.empty());
    EXPECT_TRUE(fileText(dir + "scene.png") == picture) << "the scene's picture differs";
}

// A file of the scene that cannot be read says what it would say alone and the others open;
// with none readable the viewer ends with status 1. An octree file beyond the memory budget
// is streamed beside the others, not left out.
TEST(SceneScreenshot, UnreadableFilesAreSaidAndTheOthersOpen) {
    const std::string tile = writeTile("scene_alone.las");
    const std::string missing = scratchDir() + "scene_missing.txt";
    const std::string shot = scratchDir() + "scene_partial.png";
    const ProcessResult partial = runProgram({VIEWER, "--screenshot", shot, missing, tile});
    EXPECT_EQ(partial.status, 0) << partial.ending();
    EXPECT_EQ(partial.out, "ERROR: unable to open file " + missing + "!\n");
    EXPECT_FALSE(fileText(shot).empty());

    const ProcessResult none = runProgram({VIEWER, "--screenshot", shot, missing, missing});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "ERROR: unable to open file " + missing + "!\nERROR: unable to open file " +
                            missing + "!\n");

    const std::string octree = dataPath("copc/lasrs_autzen.copc.laz");
    const std::string budgetShot = scratchDir() + "scene_budget.png";
    const ProcessResult budget =
        runProgram({VIEWER, "--memory", "4K", "--screenshot", budgetShot, tile, octree});
    EXPECT_EQ(budget.status, 0) << budget.ending();
    EXPECT_EQ(budget.err, "");
    EXPECT_FALSE(fileText(budgetShot).empty());
}

// Every file of a scene may be streamed: two copies of an octree file beyond the memory show,
// through the real executable, the picture the file shows streamed alone.
TEST(SceneScreenshot, StreamedCopiesShowWhatOneShows) {
    const std::string octree = dataPath("copc/lasrs_autzen.copc.laz");
    const std::string copy = scratchDir() + "scene_copy.copc.laz";
    {
        std::ofstream out(copy, std::ios::binary);
        out << fileText(octree);
    }
    const std::string aloneShot = scratchDir() + "scene_streamed_alone.png";
    const std::string sceneShot = scratchDir() + "scene_streamed_both.png";
    const ProcessResult alone =
        runProgram({VIEWER, "--memory", "2K", "--screenshot", aloneShot, octree});
    ASSERT_EQ(alone.status, 0) << alone.ending() << alone.err;
    const ProcessResult scene =
        runProgram({VIEWER, "--memory", "2K", "--screenshot", sceneShot, octree, copy});
    ASSERT_EQ(scene.status, 0) << scene.ending() << scene.err;
    EXPECT_EQ(scene.err, "");
    const std::string picture = fileText(aloneShot);
    EXPECT_FALSE(picture.empty());
    EXPECT_TRUE(fileText(sceneShot) == picture) << "the scene's picture differs";
}
