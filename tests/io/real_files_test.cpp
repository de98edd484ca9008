// tests/io/real_files_test.cpp - every real file of the collection: count, box, first point and
// first colour against facts computed by independent readers.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

struct RealFile {
    const char* name;
    bool inRepository; // copied into tests/data/formats; else read from the collection's folder
    int count;
    int dropped;
    double min[3], max[3], first[3];
    int rgb[3];          // of the first point, -1 without colour
    const char* refusal; // part of the message when the file is refused
};

// clang-format off
const RealFile kFiles[] = {
    {"draco_bun_zipper.ply", false, 35947, 0, {-0.0946899, 0.0329874, -0.0618736}, {0.0610091, 0.187321, 0.0587997}, {-0.0378297, 0.12794, 0.00447467}, {-1, -1, -1}, ""},
    {"assimp_pond.0.ply", false, 70051, 0, {-1.502060055732727, 0.5713670253753662, -2.6316800117492676}, {1.9764699935913086, 1.0915600061416626, 0.5099449753761292}, {1.1775000095367432, 0.8752350211143494, -1.2355600595474243}, {57, 59, 19}, ""},
    {"happly_platonic_shelf_big_endian.ply", true, 50, 0, {-6.524307, -1.158087, -1.158087}, {6.963232, 1.158087, 1.158086}, {-3.562626, -0.627972, 0.613591}, {-1, -1, -1}, ""},
    {"loadersgl_gaussian_train-1000.ply", true, 1000, 0, {-13.021034240722656, -3.921982526779175, -3.821728467941284}, {10.293157577514648, 1.9683113098144531, 13.821733474731445}, {2.0958523750305176, -0.5998297929763794, 1.2191526889801025}, {110, 144, 108}, ""},
    {"assimp_cube_binary_header_with_RN_newline.ply", true, 8, 0, {0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}, {0.0, 0.0, 0.0}, {-1, -1, -1}, ""},
    {"assimp_float-color.ply", true, 3, 0, {0.0, 0.0, 0.0}, {200.0, 200.0, 0.0}, {0.0, 0.0, 0.0}, {0, 0, 255}, ""},
    {"assimp_issue623.ply", true, 24, 0, {4.188113, -2.321275, -0.927566}, {7.941798, 1.43241, 2.826117}, {7.941797, 1.432409, -0.927566}, {-1, -1, -1}, ""},
    {"draco_test_pos_color.ply", true, 114, 0, {-1.0, -1.0, -1.0}, {1.0, 1.0, 1.0}, {0.3826834261417389, 0.9238795042037964, 0.0}, {209, 0, 122}, ""},
    {"pdal_las_1.0_0.las", true, 1, 0, {470692.44, 4602888.9, 16.0}, {470692.44, 4602888.9, 16.0}, {470692.44, 4602888.9, 16.0}, {-1, -1, -1}, ""},
    {"laspy_simple1_1.las", true, 1065, 0, {635619.85, 848899.7000000001, 406.59000000000003}, {638982.55, 853535.43, 586.38}, {637012.24, 849028.31, 431.66}, {-1, -1, -1}, ""},
    {"lazperf_point-color.las", true, 1065, 0, {493994.87, 4877429.62, 123.93}, {494993.68, 4878817.0200000005, 178.73}, {494428.61, 4877455.58, 131.57}, {68, 77, 88}, ""},
    {"pdal_1.2-with-color.las", true, 1065, 0, {635619.85, 848899.7000000001, 406.59000000000003}, {638982.55, 853535.43, 586.38}, {637012.24, 849028.31, 431.66}, {68, 77, 88}, ""},
    {"laspy_vegetation_1_3.las", true, 10683, 0, {-98451.205, -55975.417, -81460.091}, {-98447.447, -55969.405, -81455.203}, {-98449.688, -55970.553, -81458.594}, {-1, -1, -1}, ""},
    {"laspy_test1_4.las", true, 1000, 0, {1694038.4456374517, 1816492.7062700584, 5592.7499174683535}, {1694539.677014474, 1816497.9762624602, 5599.069686751426}, {1694510.3869346841, 1816497.966263977, 5598.3596128149675}, {-1, -1, -1}, ""},
    {"laspy_simple1_4.las", false, 22600, 0, {1.0, 1.0, 44.0}, {226.00000000000003, 100.00000000000003, 254.0}, {1.0, 1.0, 100.0}, {100, 104, 105}, ""},
    {"loadersgl_pdrf8-1.4.las", true, 1024, 0, {-2141890547.0, -2147415624.0, -2147101580.0}, {2146619417.0, 2139249378.0, 2146599318.0}, {373598160.0, 295657190.0, 195961234.0}, {227, 17, 16}, ""},
    {"pdal_garbage_nVariableLength.las", true, 718, 0, {0.0006954102920723737, 0.0006954102920723737, 0.0006954102920723737}, {0.9979137691237829, 0.9993045897079276, 0.9993045897079276}, {0.0006954102920723737, 0.0006954102920723737, 0.0006954102920723737}, {-1, -1, -1}, ""},
    {"pcl_bunny.pcd", true, 397, 0, {-0.093938, 0.03742, -0.055026}, {0.059562, 0.1845, 0.057803}, {0.0054216, 0.11349, 0.040749}, {-1, -1, -1}, ""},
    {"pcl_colored_cloud.pcd", true, 1000, 0, {-0.8871009945869446, -0.6507353186607361, 0.8820000290870667}, {0.4887999892234802, -0.37548959255218506, 1.531999945640564}, {-0.8550515174865723, -0.6315085887908936, 1.4670000076293945}, {108, 109, 105}, ""},
    {"pcl_office1_keypoints.pcd", true, 1318, 0, {-10.987968444824219, -8.769999504089355, -1.3615000247955322}, {10.130500793457031, 5.908333778381348, 2.177833318710327}, {3.6486306190490723, 4.24565315246582, 0.45956555008888245}, {-1, -1, -1}, ""},
    {"pcl_pcl_logo.pcd", true, 12909, 0, {-0.9629999995231628, -0.3285999894142151, 0.0}, {1.0, 0.36559998989105225, 0.0}, {-0.961899995803833, 0.24660000205039978, 0.0}, {128, 128, 128}, ""},
    {"pcl_milk_color.pcd", true, 13704, 0, {-0.14008289575576782, -0.26377999782562256, 0.7139999866485596}, {0.013806669972836971, -0.011728569865226746, 0.890999972820282}, {-0.13160760700702667, -0.2095429003238678, 0.7720000147819519}, {103, 90, 85}, ""},
    {"pcl_office1.pcd", false, 254456, 52744, {-2.6454761028289795, -2.1964290142059326, 1.8329999446868896}, {1.5043599605560303, 1.581246018409729, 5.363999843597412}, {-2.2400128841400146, -1.6818710565567017, 3.9070000648498535}, {166, 157, 147}, ""},
    {"loadersgl_simple-ascii.pcd", true, 213, 0, {-0.95526, -0.31546, 0.0}, {0.99185, 0.35641, 0.0}, {0.93773, 0.33763, 0.0}, {128, 128, 224}, ""},
    {"pdal_autzen.pts", true, 10, 0, {636102.840012, 848968.800003, 427.919998}, {636126.400009, 849345.199997, 512.139999}, {636110.300003, 849345.050003, 512.139999}, {52, 70, 64}, ""},
    {"trimesh_points_agisoft.xyz", true, 100, 0, {665171.37498, 5648340.499471, 233.514072}, {665187.870931, 5648381.899135, 245.90329}, {665187.522077, 5648349.895035, 241.767693}, {117, 73, 49}, ""},
    {"pdal_crlf_test.txt", true, 10, 0, {289814.15, 4320978.61, 170.58}, {289818.5, 4320980.59, 170.76}, {289814.15, 4320978.61, 170.76}, {-1, -1, -1}, ""},
    {"loadersgl_cube-vertex-colors.obj", true, 8, 0, {-1.0, -1.0, -1.0}, {1.0, 1.0, 1.0}, {1.0, 1.0, -1.0}, {71, 113, 229}, ""},
    {"laz/lazperf_point-color.las.laz", true, 1065, 0, {493994.87, 4877429.62, 123.93}, {494993.68, 4878817.0200000005, 178.73}, {494428.61, 4877455.58, 131.57}, {68, 77, 88}, ""},
    {"laz/loadersgl_pdrf8-1.4.laz", true, 1024, 0, {-2141890547.0, -2147415624.0, -2147101580.0}, {2146619417.0, 2139249378.0, 2146599318.0}, {373598160.0, 295657190.0, 195961234.0}, {227, 17, 16}, ""},
    {"e57/e57data_ColouredCubeFloat.e57", true, 7680, 0, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, {-0.5, -0.4990559220314026, 0.07136291265487671}, {0, 0, 255}, ""},
    {"e57/e57data_bunnyInt32.e57", false, 30571, 0, {-0.094689, 0.040011, -0.061873}, {0.061008999999999994, 0.187321, 0.058799}, {-0.07063, 0.04015, 0.0012259999999999999}, {-1, -1, -1}, ""},
};
// clang-format on

std::string locate(const RealFile& file) {
    std::string name = file.name;
    if (file.inRepository)
        return testData("formats/" + name.substr(name.rfind('/') + 1));
    const std::string folder = POINTILLIST_FORMATS_DATA_DIR;
    return folder.empty() ? "" : folder + "/" + name;
}

} // namespace

// Boxes and first points to 1e-4 of the extent (absolute 1e-4 for a single point), colours to
// one step of 255.
TEST(RealFiles, CountBoxFirstPointAndColourMatchTheIndependentReaders) {
    int checked = 0, skipped = 0;
    for (const RealFile& file : kFiles) {
        SCOPED_TRACE(file.name);
        const std::string path = locate(file);
        struct stat status;
        if (path.empty() || stat(path.c_str(), &status) != 0) {
            ++skipped;
            continue;
        }
        ++checked;
        LoadedCloud loaded;
        loadFile(path, loaded);
        if (*file.refusal) {
            EXPECT_EQ(loaded.result.status, ReadStatus::Refused);
            EXPECT_NE(loaded.result.message.find(file.refusal), std::string::npos)
                << loaded.result.message;
            EXPECT_EQ(loaded.result.message.find('\n'), std::string::npos);
            continue;
        }
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        const PointCloud& cloud = loaded.cloud;
        EXPECT_EQ(cloud.count, file.count);
        EXPECT_EQ(cloud.dropped, file.dropped);
        double extent = 0.0;
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, file.max[axis] - file.min[axis]);
        const double tolerance = extent > 0.0 ? 1e-4 * extent : 1e-4;
        const double low[3] = {cloud.nearCorner[0], cloud.nearCorner[1], cloud.farCorner[2]};
        const double high[3] = {cloud.farCorner[0], cloud.farCorner[1], cloud.nearCorner[2]};
        for (int axis = 0; axis < 3 && cloud.count > 0; ++axis) {
            EXPECT_NEAR(low[axis] + cloud.shift[axis], file.min[axis], tolerance);
            EXPECT_NEAR(high[axis] + cloud.shift[axis], file.max[axis], tolerance);
            EXPECT_NEAR(loaded.file(0, axis), file.first[axis], tolerance);
        }
        if (file.rgb[0] >= 0) {
            EXPECT_EQ(cloud.colour, ColourKind::Rgb);
            const float colour[3] = {cloud.points[0].r, cloud.points[0].g, cloud.points[0].b};
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(colour[c] * 255.0f, file.rgb[c], 1.0f) << "channel " << c;
        } else {
            EXPECT_NE(cloud.colour, ColourKind::Rgb);
        }
    }
    EXPECT_GE(checked, 24);
    if (skipped)
        std::printf("%d of the collection's larger files skipped: POINTILLIST_FORMATS_DATA_DIR "
                    "is empty or lacks them\n",
                    skipped);
}
