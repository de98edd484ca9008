// tests/e2e/scene_e2e_test.cpp - the real pointillist with two files given: one window named
// for the scene, both files' points in it, each where it lies beside the other.
#include "tests/e2e/viewer_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

constexpr Rgb MAGENTA{255, 0, 255};

} // namespace

using SceneE2E = ViewerSession;

// The yellow triangle (x from 0 to 200) and a magenta column (no colour of the axes) at x = 300
// from a second file: one picture framing both, the magenta to the right of all the yellow.
TEST_F(SceneE2E, TwoFilesShowTogetherInOneWindowNamedForThem) {
    const std::string column = folder + "/column.txt";
    std::ofstream(column) << "# points = 3\n300 0 0 1 0 1\n300 100 0 1 0 1\n300 200 0 1 0 1\n";
    graphicsTitle = "Pointillist - 2 files";
    start({TRIANGLE_CLOUD, column}, [](const Screenshot& shot) {
        return pixelsOf(shot, YELLOW).count > 0 && pixelsOf(shot, MAGENTA).count >= 3;
    });
    const ColourPixels yellow = pixelsOf(startScene, YELLOW),
                       magenta = pixelsOf(startScene, MAGENTA);
    EXPECT_LT(yellow.maxX, magenta.minX);
    EXPECT_GT(magenta.maxY - magenta.minY, (yellow.maxY - yellow.minY) / 2);
}
