// tests/io/dispatch_test.cpp - which reader a file gets, the global shift, and files cut short
// or corrupted anywhere.
#include "tests/io/io_test_support.h"

#include "io/shift.h"
#include "tests/support/file_text.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> smallFiles() {
    std::vector<std::string> names;
    const std::string folder = testData("formats");
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name != "README.md")
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

// The point files under folder and its folders, as paths.
void pointFilesIn(const std::string& folder, std::vector<std::string>& paths) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        struct stat status;
        if (name[0] == '.' || name == "README.md" || name == "manifest.json" ||
            stat(path.c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            pointFilesIn(path, paths);
        else
            paths.push_back(path);
    }
    closedir(dir);
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(FormatPick, ContentFirstThenExtensionThenALookAtTheLines) {
    const struct {
        const char* name;
        const char* text;
        Format format;
    } cases[] = {
        // Signatures win over extensions.
        {"really_ply.txt",
         "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
         "property float y\nproperty float z\nend_header\n1 2 3\n",
         Format::Ply},
        {"really_pcd.ply", "# .PCD v.7\nFIELDS x y z\nPOINTS 1\nDATA ascii\n1 2 3\n", Format::Pcd},
        // The native header, in any case and after blanks, stays native (and reads as before).
        {"native.xyz", "# points = 1\n1 2 3 1 0 0\n", Format::Native},
        {"capital.txt", "# Points = 2\n1 2 3 1 0 0\n", Format::Native},
        {"empty.txt", "", Format::Native},
        // Column text by extension, or by its lines when the extension says nothing.
        {"columns.dat", "1 2 3\n4 5 6\n", Format::ColumnText},
        {"counted.pts", "1\n1 2 3 4\n", Format::Pts},
    };
    for (const auto& c : cases) {
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.text), loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Read) << c.name << " " << loaded.result.message;
        EXPECT_EQ(loaded.cloud.format, c.format) << c.name;
    }
    LoadedCloud capital;
    loadFile(scratchFile("capital.txt", "# Points = 2\n1 2 3 1 0 0\n"), capital);
    EXPECT_EQ(capital.cloud.count, 0);
}

TEST(FormatPick, UnknownContentIsRefusedNamingTheFile) {
    for (const char* name : {"noise.bin", "words.txt"}) {
        LoadedCloud loaded;
        loadFile(scratchFile(name, std::string("\x01\x02garbage\xff\nhello there\n", 22)), loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Refused) << name;
        EXPECT_NE(loaded.result.message.find(name), std::string::npos) << loaded.result.message;
    }
}

// A file whose extension promises a format its first bytes lack is refused for what they are,
// not for what the format's reader made of them; every refusal says what it found.
TEST(FormatPick, ContentBeforeExtensionNamesWhatTheFileHolds) {
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const std::string noise("\x9f\x3c\x11\xa0\xf4\xa2\x00\x01garbage and more", 24);
    const struct {
        const char* name;
        std::string bytes;
        const char* says; // after the path
    } cases[] = {
        {"picture.ply", png,
         ": not a PLY file: no \"ply\" first line; it starts with a PNG signature"},
        {"noise.las", noise + std::string(300, 'x'),
         ": not a LAS file: no LASF signature; it starts with the bytes 9f 3c 11 a0 f4 a2 00 01 "
         "..."},
        {"archive.laz", std::string("PK\x03\x04", 4) + std::string(300, '\0'),
         ": not a LAZ file: no LASF signature; it starts with a ZIP signature"},
        {"words.e57", "hello there\nsecond line\n",
         ": not an E57 file: no ASTM-E57 signature; it starts with the text \"hello there\""},
        {"photo.pcd", std::string("\xff\xd8\xff\xe0", 4) + "JFIF",
         ": not a PCD file: no PCD header (# .PCD, VERSION or FIELDS first); it starts with a "
         "JPEG signature"},
        // Formats without a signature say what they expected, and name a foreign one.
        {"picture.xyz", png,
         ": column text, line 1 holds neither three numbers nor x y z names (it starts with a PNG "
         "signature)"},
        {"noise.bin", noise,
         ": unknown format (not a point file this program reads; it starts with the bytes 9f 3c 11 "
         "a0 f4 a2 00 01 ...)"},
    };
    for (const auto& c : cases) {
        const std::string path = scratchFile(c.name, c.bytes);
        LoadedCloud loaded;
        loadFile(path, loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Refused) << c.name;
        EXPECT_EQ(loaded.result.message, path + c.says);
    }
    // A real LAS file named .ply still opens: content first.
    LoadedCloud renamed;
    loadFile(scratchFile("las.ply", contents(testData("formats/pdal_las_1.0_0.las"))), renamed);
    EXPECT_EQ(renamed.result.status, ReadStatus::Read) << renamed.result.message;
    EXPECT_EQ(renamed.cloud.format, Format::Las);
}

// A format with a header has nothing to show in an empty file; an empty native file still opens
// as an empty cloud, as it always has.
TEST(FormatPick, EmptyFilesAndNonFilesAreRefusedForWhatTheyAre) {
    for (const char* name : {"empty.las", "empty.LAZ", "empty.ply", "empty.pcd", "empty.e57"}) {
        const std::string path = scratchFile(name, "");
        LoadedCloud loaded;
        loadFile(path, loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Refused) << name;
        EXPECT_EQ(loaded.result.message, path + ": empty file");
    }
    LoadedCloud null;
    loadFile("/dev/null", null);
    EXPECT_EQ(null.result.status, ReadStatus::Refused);
    EXPECT_EQ(null.result.message, "/dev/null: empty file");
    const std::string folder = scratchDir() + "a_folder.las";
    mkdir(folder.c_str(), 0700);
    LoadedCloud directory;
    loadFile(folder, directory);
    EXPECT_EQ(directory.result.status, ReadStatus::Refused);
    EXPECT_EQ(directory.result.message, folder + ": is a directory");
    for (const char* name : {"empty.txt", "empty"}) {
        LoadedCloud native;
        loadFile(scratchFile(name, ""), native);
        EXPECT_EQ(native.result.status, ReadStatus::Read) << name;
        EXPECT_EQ(native.cloud.format, Format::Native);
        EXPECT_EQ(native.cloud.count, 0);
    }
}

// Storage a header asks for that cannot be had names the points and the bytes; the native
// format keeps its own message (tests/viewer/executables_test.cpp).
TEST(FormatPick, StorageThatCannotBeHadIsNamedInPointsAndBytes) {
    std::string laz = contents(testData("formats/loadersgl_pdrf8-1.4.laz"));
    ASSERT_GT(laz.size(), 255u);
    const uint64_t points = uint64_t(1) << 44;
    std::memcpy(&laz[247], &points, sizeof points);
    const uint16_t recordLength = static_cast<uint16_t>(uint8_t(laz[105]) | uint8_t(laz[106]) << 8);
    const std::string path = scratchFile("huge.laz", laz);
    LoadedCloud loaded;
    loadFile(path, loaded);
    EXPECT_EQ(loaded.result.status, ReadStatus::CannotAllocate);
    EXPECT_EQ(loaded.result.message, "not enough memory for 17592186044416 points (" +
                                         std::to_string(points * recordLength) + " bytes)");
}

// Shift when a coordinate exceeds 100,000 or floats would lose 1e-5 of the extent; never for
// clouds floats hold well.
TEST(GlobalShift, ChosenByMagnitudeAndByPrecisionOfTheExtent) {
    const struct {
        double low[3], high[3];
        bool shifted;
    } cases[] = {
        {{500000, 5000000, 10}, {500100, 5000100, 20}, true},
        {{-98006, 0, 0}, {-98000, 1, 1}, true}, // 6 m at -98,000: floats give ~4 mm steps
        {{-0.1, 0.03, -0.06}, {0.06, 0.19, 0.06}, false},
        {{0, 0, 0}, {90000, 1000, 100}, false},
    };
    for (const auto& c : cases) {
        double shift[3];
        EXPECT_EQ(chooseShift(c.low, c.high, shift), c.shifted) << c.low[0];
        if (c.shifted) {
            EXPECT_EQ(shift[0], std::round((c.low[0] + c.high[0]) / 2));
        }
    }
}

// Every copied real file, cut at many places and with bytes overwritten: each either opens with
// at most its complete points or is refused; no crash, no read past the end (the sanitizer build
// checks that).
TEST(DamagedFiles, CutOrCorruptedCopiesKeepTheirCompletePointsOrAreRefused) {
    const std::vector<std::string> names = smallFiles();
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string whole = fileText(testData("formats/" + name));
        LoadedCloud full;
        loadFile(testData("formats/" + name), full);
        for (int part = 1; part < 12; ++part) {
            const size_t cut = whole.size() * static_cast<size_t>(part) / 12;
            LoadedCloud cutShort;
            loadFile(scratchFile("cut_" + name, whole.substr(0, cut)), cutShort);
            if (cutShort.result.status == ReadStatus::Read) {
                EXPECT_LE(cutShort.cloud.count, full.cloud.count) << cut;
            }
            std::string corrupted = whole;
            for (size_t at = cut; at < corrupted.size(); at += 97)
                corrupted[at] = static_cast<char>(corrupted[at] * 31 + 7);
            LoadedCloud damaged;
            loadFile(scratchFile("bad_" + name, corrupted), damaged);
        }
        // A file cut inside its records says how many it expected and how many it read.
        if (full.result.status == ReadStatus::Read && full.result.expected > 1 &&
            full.cloud.count == full.result.expected) {
            LoadedCloud half;
            loadFile(scratchFile("half_" + name, whole.substr(0, whole.size() - whole.size() / 3)),
                     half);
            // Elements after the vertices (faces) may take the whole cut.
            if (half.result.status == ReadStatus::Read && half.cloud.count < full.cloud.count) {
                EXPECT_FALSE(half.result.message.empty());
            }
        }
    }
}

// Every real file in every format, cut after a quarter, half and seven eighths of its bytes,
// keeps the points whole before the cut, the same as the whole file gives them, and says on one
// line that it lost the rest. The copies in the repository always, the collection beside it
// when there. Refused alone: a cut inside a header, and files that keep nothing whole before
// their end (an E57 file's description comes last; a compressed PCD block holds each field of
// every point in turn).
TEST(DamagedFiles, CutCopiesOfEveryFileKeepTheirPointsAndSaySo) {
    std::vector<std::string> paths;
    pointFilesIn(testData("formats"), paths);
    pointFilesIn(testData("copc"), paths);
    const size_t inRepository = paths.size();
    ASSERT_GE(inRepository, 30u);
    pointFilesIn(POINTILLIST_FORMATS_DATA_DIR, paths);
    if (paths.size() == inRepository)
        std::printf("the collection beside the repository is absent: its files are not cut\n");
    int kept = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        LoadedCloud full;
        loadFile(path, full);
        ASSERT_EQ(full.result.status, ReadStatus::Read) << full.result.message;
        const std::string whole = contents(path);
        const bool nothingWholeEarly = full.cloud.format == Format::E57 ||
                                       full.cloud.formatDescription == "PCD binary_compressed";
        double extent = 0.0;
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, double(full.cloud.farCorner[axis]) -
                                          double(full.cloud.nearCorner[axis]));
        const double tolerance = std::max(1e-4, 1e-5 * std::fabs(extent));
        for (int eighths : {2, 4, 7}) {
            SCOPED_TRACE(eighths);
            const size_t at = whole.size() * static_cast<size_t>(eighths) / 8;
            LoadedCloud cut;
            loadFile(scratchFile("cut_" + path.substr(path.rfind('/') + 1), whole.substr(0, at)),
                     cut);
            EXPECT_EQ(cut.result.message.find('\n'), std::string::npos) << cut.result.message;
            if (cut.result.status != ReadStatus::Read) {
                // Past the first few kilobytes, a cut falls among the points.
                EXPECT_TRUE(nothingWholeEarly || at < 4096) << cut.result.message;
                continue;
            }
            ASSERT_LE(cut.cloud.count, full.cloud.count);
            if (cut.cloud.count < full.cloud.count) {
                EXPECT_FALSE(cut.result.message.empty());
            }
            if (eighths == 7 && full.cloud.count > 1) {
                EXPECT_GT(cut.cloud.count, 0);
            }
            // The points kept are the whole file's first ones, in file coordinates.
            const int32_t step = std::max(1, cut.cloud.count / 50);
            for (int32_t i = 0; i < cut.cloud.count; i += step)
                for (int axis = 0; axis < 3; ++axis)
                    ASSERT_NEAR(cut.file(i, axis), full.file(i, axis), tolerance)
                        << "point " << i << " axis " << axis;
            kept += cut.cloud.count > 0;
        }
    }
    EXPECT_GE(kept, 60);
}
