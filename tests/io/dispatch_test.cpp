// tests/io/dispatch_test.cpp - which reader a file gets, the global shift, and files cut short
// or corrupted anywhere.
#include "tests/io/io_test_support.h"

#include "io/shift.h"
#include "tests/support/file_text.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cmath>
#include <string>
#include <vector>

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

} // namespace

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
