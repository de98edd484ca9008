// tests/io/e57/e57_reader_test.cpp - E57 through the io library and the programs: scans merged into
// one cloud, the format line, load progress, a damaged page reported in one line, conversion.
#include "io/e57/e57_reader.h"
#include "io/load_progress.h"
#include "tests/io/e57/e57_test_writer.h"
#include "tests/support/program.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string writeScratch(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratchDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

TestField field(const std::string& xml, std::vector<uint8_t> stream) {
    return {xml, std::move(stream)};
}

// Scan 0: grey from intensity, far from the origin by its pose, one record invalid. Scan 1:
// 8-bit colour.
std::vector<uint8_t> twoScans() {
    TestScan grey;
    grey.recordCount = 3;
    grey.fields = {field("<cartesianX type=\"Float\"/>", doubles({1, 2, 3})),
                   field("<cartesianY type=\"Float\"/>", doubles({0, 0, 0})),
                   field("<cartesianZ type=\"Float\"/>", doubles({0, 0, 0})),
                   field("<cartesianInvalidState type=\"Integer\" minimum=\"0\" maximum=\"2\"/>",
                         packBits({0, 2, 0}, 2)),
                   field("<intensity type=\"Float\" precision=\"single\"/>", singles({0, 5, 10}))};
    grey.extraXml = "<pose type=\"Structure\"><translation type=\"Structure\">"
                    "<x type=\"Float\">500000</x><y type=\"Float\">5000000</y></translation>"
                    "</pose><intensityLimits type=\"Structure\">"
                    "<intensityMinimum type=\"Float\">0</intensityMinimum>"
                    "<intensityMaximum type=\"Float\">20</intensityMaximum></intensityLimits>";
    TestScan colour;
    colour.recordCount = 1;
    colour.fields = {field("<cartesianX type=\"Float\"/>", doubles({500010})),
                     field("<cartesianY type=\"Float\"/>", doubles({5000000})),
                     field("<cartesianZ type=\"Float\"/>", doubles({1})),
                     field("<colorRed type=\"Integer\" minimum=\"0\" maximum=\"255\"/>", {255}),
                     field("<colorGreen type=\"Integer\" minimum=\"0\" maximum=\"255\"/>", {0}),
                     field("<colorBlue type=\"Integer\" minimum=\"0\" maximum=\"255\"/>", {51})};
    return writeE57({grey, colour}).bytes;
}

} // namespace

TEST(E57Reader, ScansMergeIntoOneShiftedCloudWithGreyAndColour) {
    const std::vector<uint8_t> bytes = twoScans();
    ReadRequest request;
    request.path = "two.e57";
    request.bytes = bytes.data();
    request.size = bytes.size();
    ASSERT_TRUE(hasE57Signature(bytes.data(), bytes.size()));
    ReadResult result = readE57(request);
    ASSERT_EQ(result.status, ReadStatus::Read) << result.message;
    EXPECT_EQ(result.format, "E57, 2 scans");
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(result.expected, 4);
    EXPECT_EQ(result.count, 3);
    EXPECT_EQ(result.dropped, 1);
    EXPECT_EQ(result.colour, ColourKind::Rgb);
    ASSERT_TRUE(result.shifted);
    const double want[3][3] = {{500001, 5000000, 0}, {500003, 5000000, 0}, {500010, 5000000, 1}};
    const float rgb[3][3] = {{0, 0, 0}, {0.5f, 0.5f, 0.5f}, {1, 0, 0.2f}};
    for (int i = 0; i < 3; ++i) {
        const PointRecord& p = result.points[i];
        EXPECT_NEAR(p.x + result.shift[0], want[i][0], 1e-6) << i;
        EXPECT_NEAR(p.y + result.shift[1], want[i][1], 1e-6) << i;
        EXPECT_NEAR(p.z + result.shift[2], want[i][2], 1e-6) << i;
        EXPECT_FLOAT_EQ(p.r, rgb[i][0]) << i;
        EXPECT_FLOAT_EQ(p.g, rgb[i][1]) << i;
        EXPECT_FLOAT_EQ(p.b, rgb[i][2]) << i;
    }
    releasePoints(result.points);
}

// Raw intensities of every scan that has them (0 for a point whose scan lacks it or marks it
// invalid), and the class of an extension's field, each beside its point.
TEST(E57Reader, IntensityAndClassFollowTheirPoints) {
    std::vector<uint8_t> bytes = twoScans();
    ReadRequest request;
    request.bytes = bytes.data();
    request.size = bytes.size();
    ReadResult result = readE57(request);
    ASSERT_EQ(result.count, 3);
    EXPECT_EQ(result.attributes.present, uint32_t(kIntensity));
    EXPECT_EQ(result.attributes.intensity, (std::vector<uint16_t>{0, 10, 0}));
    releasePoints(result.points);

    TestScan classified;
    classified.recordCount = 3;
    classified.fields = {
        field("<cartesianX type=\"Float\"/>", doubles({1, NAN, 3})),
        field("<cartesianY type=\"Float\"/>", doubles({0, 0, 0})),
        field("<cartesianZ type=\"Float\"/>", doubles({0, 0, 0})),
        field("<intensity type=\"Integer\" minimum=\"0\" maximum=\"4095\"/>",
              packBits({100, 200, 4095}, 12)),
        field("<isIntensityInvalid type=\"Integer\" minimum=\"0\" maximum=\"1\"/>",
              packBits({0, 0, 1}, 1)),
        field("<las:classification type=\"Integer\" minimum=\"0\" maximum=\"255\"/>",
              packBits({2, 6, 9}, 8))};
    bytes = writeE57({classified}).bytes;
    request.bytes = bytes.data();
    request.size = bytes.size();
    result = readE57(request);
    ASSERT_EQ(result.status, ReadStatus::Read) << result.message;
    ASSERT_EQ(result.count, 2);
    EXPECT_EQ(result.attributes.present, uint32_t(kIntensity | kClassification));
    EXPECT_EQ(result.attributes.intensity, (std::vector<uint16_t>{100, 0}));
    EXPECT_EQ(result.attributes.classification, (std::vector<uint8_t>{2, 9}));
    releasePoints(result.points);
}

TEST(E57Programs, InfoAndConvertReportAndWriteTheScans) {
    const std::string path = writeScratch("two_scans.e57", twoScans());
    const ProcessResult info = runProgram({POINTILLIST_INFO_EXE, path});
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.err, "");
    EXPECT_EQ(info.out.rfind("points: 3\nmin: 500001 5000000 0\nmax: 500010 5000000 1\n", 0), 0u)
        << info.out;
    EXPECT_NE(info.out.find("\nformat: E57, 2 scans\ncolour: rgb\ndropped: 1\nshift: "),
              std::string::npos)
        << info.out;

    const std::string converted = scratchDir() + "two_scans.txt";
    const ProcessResult convert = runProgram({POINTILLIST_CONVERT_EXE, path, converted});
    ASSERT_EQ(convert.status, 0) << convert.err;
    const ProcessResult back = runProgram({POINTILLIST_INFO_EXE, converted});
    EXPECT_EQ(back.out.rfind("points: 3\nmin: 500001 5000000 0\nmax: 500010 5000000 1\n", 0), 0u)
        << back.out;
}

TEST(E57Programs, BadPageIsOneLineAndTheCloudStillOpens) {
    std::vector<float> x(1000, 1.0f);
    TestScan scan;
    scan.recordCount = x.size();
    for (const char* name : {"cartesianX", "cartesianY", "cartesianZ"})
        scan.fields.push_back(
            field(std::string("<") + name + " type=\"Float\" precision=\"single\"/>", singles(x)));
    scan.packets.assign(10, {400, 400, 400});
    TestFile file = writeE57({scan});
    file.bytes[size_t(physicalOf(file.dataPackets[6].first + 8))] ^= 1;
    const ProcessResult info =
        runProgram({POINTILLIST_INFO_EXE, writeScratch("bad_page.e57", file.bytes)});
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.err.find('\n'), info.err.size() - 1) << info.err;
    EXPECT_NE(info.err.find("expected 1000 points, read "), std::string::npos) << info.err;
    EXPECT_NE(info.err.find("fails its checksum"), std::string::npos) << info.err;
    EXPECT_EQ(info.out.rfind("points: ", 0), 0u);
}

namespace {

// A scan of `records` points whose streams come in packets of 4000 bytes a field.
TestScan manyPoints(size_t records, float z) {
    std::vector<float> x(records), y(records, 2.0f), zs(records, z);
    for (size_t i = 0; i < records; ++i)
        x[i] = float(i);
    TestScan scan;
    scan.recordCount = records;
    scan.fields = {field("<cartesianX type=\"Float\" precision=\"single\"/>", singles(x)),
                   field("<cartesianY type=\"Float\" precision=\"single\"/>", singles(y)),
                   field("<cartesianZ type=\"Float\" precision=\"single\"/>", singles(zs))};
    scan.packets.assign(records * 4 / 4000, {4000, 4000, 4000});
    return scan;
}

} // namespace

// Progress runs through the section walk and the decoding of every scan, never backwards, to
// the whole file with every point, also when a bad page stops a scan early; and a load shown
// on a terminal (the test's clock moving 100 ms a call) reads it as a percent of the file.
TEST(E57Reader, ProgressGrowsThroughEveryScanToTheWholeFile) {
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "bad page in the first scan" : "intact");
        TestFile file = writeE57({manyPoints(60000, 1.0f), manyPoints(40000, 2.0f)});
        if (damaged)
            file.bytes[size_t(physicalOf(file.dataPackets[30].first + 8))] ^= 1;
        const int64_t size = int64_t(file.bytes.size());

        PseudoTerminal terminal;
        ASSERT_NE(terminal.stream, nullptr);
        LoadProgress::Clock::time_point now{};
        LoadProgress shown(terminal.stream,
                           [&now] { return now += std::chrono::milliseconds(100); });

        std::vector<ReadProgress> reports;
        ReadRequest request;
        request.path = "many.e57";
        request.bytes = file.bytes.data();
        request.size = file.bytes.size();
        request.progress = [&](const ReadProgress& p) {
            reports.push_back(p);
            shown.update(p);
        };
        // Accepted once, before any record is read, so that the window can open meanwhile.
        std::vector<size_t> acceptedAfter;
        request.headerAccepted = [&] { acceptedAfter.push_back(reports.size()); };
        shown.start();
        ReadResult result = readE57(request);
        shown.finish();
        const std::string line = terminal.closeAndRead();
        ASSERT_EQ(result.status, ReadStatus::Read) << result.message;
        EXPECT_EQ(acceptedAfter, std::vector<size_t>{0});
        // The bad page holds the end of packet 29 too: the first scan keeps 29 packets.
        EXPECT_EQ(result.count, damaged ? 29000 + 40000 : 100000);

        ASSERT_GE(reports.size(), 20u);
        bool walking = false, decoding = false;
        for (size_t i = 0; i < reports.size(); ++i) {
            const ReadProgress& p = reports[i];
            EXPECT_EQ(p.bytesTotal, size);
            walking |= p.pointsRead == 0 && p.bytesRead > 0;
            decoding |= p.pointsRead > 0 && p.pointsRead < result.count && p.bytesRead < size;
            if (i > 0) {
                EXPECT_GE(p.bytesRead, reports[i - 1].bytesRead) << i;
                EXPECT_GE(p.pointsRead, reports[i - 1].pointsRead) << i;
            }
        }
        EXPECT_TRUE(walking);
        EXPECT_TRUE(decoding);
        EXPECT_EQ(reports.back().bytesRead, size);
        EXPECT_EQ(reports.back().pointsRead, result.count);
        releasePoints(result.points);

        EXPECT_NE(line.find("%, "), std::string::npos) << line;
        EXPECT_EQ(line.rfind("\rLoading points: ", 0), 0u) << line;

        // A file refused as a whole is never accepted.
        request.size = 2048;
        request.progress = nullptr;
        acceptedAfter.clear();
        result = readE57(request);
        EXPECT_EQ(result.status, ReadStatus::Refused);
        EXPECT_TRUE(acceptedAfter.empty());
    }
}
