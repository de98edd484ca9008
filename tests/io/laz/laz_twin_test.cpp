// tests/io/laz/laz_twin_test.cpp - compressed files decode to exactly the records of their
// uncompressed twins, whichever fields are asked for and however many threads decode them.
#include "tests/io/laz/laz_test_files.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Field {
    const char* name;
    uint32_t offset, size;
};

// Where x, y, z, intensity and RGB sit in a record, by point format.
std::vector<Field> viewerFields(int pointFormat) {
    // Every field of the point and its time: the attributes need them all.
    const uint32_t core = pointFormat >= 6 ? 30 : pointFormat == 1 || pointFormat == 3 ? 28 : 20;
    std::vector<Field> fields = {{"point", 0, core}};
    const int rgb = pointFormat == 2 ? 20 : pointFormat == 3 ? 28 : pointFormat >= 7 ? 30 : -1;
    if (rgb >= 0)
        fields.push_back({"rgb", uint32_t(rgb), 6});
    return fields;
}

// Compares every record (or only the viewer's fields) and names the first few that differ.
::testing::AssertionResult sameRecords(const DecodedFile& d, const std::vector<uint8_t>& twin,
                                       bool viewerOnly) {
    const uint32_t length = d.info.recordLength;
    if (d.records.size() != twin.size())
        return ::testing::AssertionFailure()
               << d.records.size() / length << " records, the twin has " << twin.size() / length;
    std::vector<Field> fields =
        viewerOnly ? viewerFields(d.info.pointFormat) : std::vector<Field>{{"record", 0, length}};
    size_t bad = 0;
    std::string first;
    for (size_t i = 0; i < twin.size() / length; ++i)
        for (const Field& f : fields)
            if (std::memcmp(&d.records[i * length + f.offset], &twin[i * length + f.offset],
                            f.size) != 0) {
                if (bad++ == 0)
                    first = "record " + std::to_string(i) + " " + f.name;
            }
    if (bad == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " fields differ, first: " << first;
}

struct Pair {
    const char* laz;
    const char* las;
    int pointFormat;
    uint64_t points;
    size_t chunks;
};

const Pair kPairs[] = {
    {"lazperf_point-color.las.laz", "lazperf_point-color.las", 2, 1065, 1},
    {"loadersgl_pdrf8-1.4.laz", "loadersgl_pdrf8-1.4.las", 8, 1024, 4},
};

} // namespace

TEST(LazTwins, EveryRecordMatchesWithAllFieldsAndViewerFieldsOnOneAndTwoThreads) {
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(pair.laz);
        const std::vector<uint8_t> laz = readBytes(testDataPath(pair.laz));
        const std::vector<uint8_t> twin = twinRecords(readBytes(testDataPath(pair.las)));
        ASSERT_FALSE(laz.empty());
        for (unsigned threads : {1u, 2u}) {
            const DecodedFile all = decodeBytes(laz, LazFields::All, threads);
            ASSERT_EQ(all.error, "");
            EXPECT_EQ(all.info.pointFormat, pair.pointFormat);
            EXPECT_EQ(all.result.decoded, pair.points);
            EXPECT_EQ(all.result.chunks.chunks.size(), pair.chunks);
            EXPECT_EQ(all.result.message(), "");
            EXPECT_TRUE(sameRecords(all, twin, false));
            const DecodedFile viewer = decodeBytes(laz, LazFields::Viewer, threads);
            EXPECT_TRUE(sameRecords(viewer, twin, true));
        }
    }
}

// Whatever compressed files the shared data holds, each beside its twin one folder up
// ("a.las.laz" or "a.laz" pairs with "a.las").
TEST(LazTwins, SharedFilesMatchTheirTwins) {
    const std::string formats = POINTILLIST_FORMATS_DATA_DIR;
    if (formats.empty())
        GTEST_SKIP() << "no shared formats folder (a clone without ../shared)";
    const std::string dir = formats + "/laz";
    DIR* d = opendir(dir.c_str());
    if (!d)
        GTEST_SKIP() << dir << " is missing";
    int checked = 0;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".laz") != 0)
            continue;
        std::string twinName = name.substr(0, name.size() - 4);
        if (twinName.size() < 4 || twinName.compare(twinName.size() - 4, 4, ".las") != 0)
            twinName += ".las";
        const std::vector<uint8_t> las = readBytes(dir + "/../" + twinName);
        if (las.empty())
            continue;
        SCOPED_TRACE(name);
        const DecodedFile all = decodeBytes(readBytes(dir + "/" + name));
        ASSERT_EQ(all.error, "");
        EXPECT_EQ(all.result.message(), "");
        EXPECT_TRUE(sameRecords(all, twinRecords(las), false));
        ++checked;
    }
    closedir(d);
    EXPECT_GT(checked, 0);
}
