// tests/viewer/real_classes_test.cpp - every LAS and LAZ file at hand with classes, drawn in
// its class colours: each lit pixel has the colour of the class of a point that projects there.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/attribute_colours.h"
#include "viewer/frame.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// The LAS and LAZ files of the folders, in order; none from a folder that is absent.
std::vector<std::string> lidarFilesIn(const std::vector<std::string>& folders) {
    std::vector<std::string> files;
    for (const std::string& folder : folders) {
        std::error_code error;
        if (folder.empty() || !std::filesystem::is_directory(folder, error))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string extension = entry.path().extension().string();
            if (extension == ".las" || extension == ".laz")
                files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

uint32_t packed(const unsigned char rgb[3]) {
    return rgb[0] | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]) << 16;
}

class RealClasses : public GraphicsWindowTest {};

} // namespace

// Every class shown, withheld points too, each point a pixel: a lit pixel must have the colour
// of a class with a point within a pixel of it (GL may round a point on a pixel's edge either
// way), and every class of at least 1 % of the points must show.
TEST_F(RealClasses, PixelsHaveTheColoursOfTheirPointsClasses) {
    // The classified tile kept with the tests, then the shared files (octree LAZ included).
    std::vector<std::string> files = lidarFilesIn({dataPath("lidar")});
    ASSERT_FALSE(files.empty()) << "tests/data/lidar holds a classified tile";
    const std::string formats = POINTILLIST_FORMATS_DATA_DIR;
    const std::vector<std::string> shared =
        lidarFilesIn({formats, formats.empty() ? "" : formats + "/laz", POINTILLIST_LIDAR_DATA_DIR,
                      POINTILLIST_COPC_DATA_DIR});
    if (shared.empty())
        std::printf("the shared LAS and LAZ files are skipped: no shared data folder\n");
    files.insert(files.end(), shared.begin(), shared.end());
    int tested = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        viewer.pointSet.hiddenAtStart.clear();
        viewer.pointSet.load(file.c_str());
        const PointSet& set = viewer.pointSet;
        if (!set.attributes.has(kClassification) || set.count == 0) {
            resetViewer();
            continue;
        }
        ++tested;
        viewer.pointSet.visibility.withheldShown = 1;
        viewer.pointSet.visibility.changed();
        viewer.displaySettings.colourMode = ColourMode::Classification;
        openWindow();
        drawCompleteFrame();
        const std::vector<unsigned char> image = readBackBuffer(400, 400);

        // The colours of the classes with a point within a pixel of each pixel.
        std::unordered_map<int, std::set<uint32_t>> near;
        const View view = currentView();
        for (int32_t i = 0; i < set.count; ++i) {
            double x = 0, y = 0, z = 0;
            const PointRecord& p = set.points[i];
            gluProject(p.x, p.y, p.z, view.modelview, view.projection, view.viewport, &x, &y, &z);
            unsigned char rgb[3];
            classColour(set.attributes.classification[size_t(i)], rgb);
            const int px = int(std::floor(x)), py = int(std::floor(y));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    near[(py + dy) * 400 + (px + dx)].insert(packed(rgb));
        }
        int lit = 0, wrong = 0;
        std::set<uint32_t> seen;
        for (int pixel = 0; pixel < 400 * 400; ++pixel) {
            const uint32_t colour = packed(&image[size_t(pixel) * 3]);
            if (colour == 0)
                continue;
            ++lit;
            seen.insert(colour);
            const auto found = near.find(pixel);
            wrong += found == near.end() || found->second.count(colour) == 0;
        }
        EXPECT_GT(lit, 0);
        EXPECT_EQ(wrong, 0) << "of " << lit << " lit pixels";
        for (int code = 0; code < 256; ++code) {
            if (set.visibility.classCounts()[code] * 100 < set.count)
                continue;
            unsigned char rgb[3];
            classColour(code, rgb);
            EXPECT_EQ(seen.count(packed(rgb)), 1u) << "class " << code;
        }
        TearDown();
        window = 0;
    }
    EXPECT_GE(tested, 1);
}
