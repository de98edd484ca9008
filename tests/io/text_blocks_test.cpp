// tests/io/text_blocks_test.cpp - column text read in blocks over threads: files large enough
// to be split, with what may sit on either side of a split (line ends of every kind, blank and
// comment lines, holes, a bad line, a declared count) against values written in the test.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Enough lines for the reader to split the body over two threads.
constexpr int kLines = 40000;

// Record i: x = (i % 1000) / 4, y = -(i / 1000) / 2, z = (i % 7) / 8, colour i % 256, i % 7,
// 255 - i % 256; all exact in binary, so the values read back compare exactly.
double expected(int i, int axis) {
    const double xyz[3] = {(i % 1000) * 0.25, -(i / 1000) * 0.5, (i % 7) * 0.125};
    return xyz[axis];
}

std::string record(int i, const char* separator, double origin = 0.0) {
    char line[128];
    std::snprintf(line, sizeof line, "%.2f%s%.3f%s%.3f%s%d%s%d%s%d", origin + expected(i, 0),
                  separator, expected(i, 1), separator, expected(i, 2), separator, i % 256,
                  separator, i % 7, separator, 255 - i % 256);
    return line;
}

// The records' text; `extra(i)` may put lines before record i.
template <class Extra>
std::string text(const char* lineEnd, const char* separator, Extra extra, double origin = 0.0) {
    std::string bytes;
    for (int i = 0; i < kLines; ++i) {
        bytes += extra(i);
        bytes += record(i, separator, origin) + lineEnd;
    }
    return bytes;
}

std::string none(int) {
    return "";
}

// The loaded records against the values of records `first` on, one in every 97 checked.
void expectRecords(const LoadedCloud& loaded, int count, double origin = 0.0) {
    ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
    ASSERT_EQ(loaded.cloud.count, count);
    for (int i = 0; i < count; i += 97) {
        for (int axis = 0; axis < 3; ++axis)
            ASSERT_EQ(loaded.file(i, axis), (axis == 0 ? origin : 0.0) + expected(i, axis))
                << "record " << i << " axis " << axis;
        ASSERT_FLOAT_EQ(loaded.cloud.points[i].r, static_cast<float>(i % 256) / 255.0f) << i;
    }
}

} // namespace

TEST(ColumnTextBlocks, LineEndsSeparatorsAndSkippedLinesOnBothSidesOfTheSplit) {
    // Blank and comment lines every 997 records, a run of them in the middle.
    auto skipped = [](int i) -> std::string {
        if (i == kLines / 2)
            return "\n\n# the middle\n   \n// more\n";
        return i % 997 == 5 ? (i % 2 ? "\t \n" : "# note\n") : "";
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"lf.xyz", text("\n", " ", none)},
        {"crlf.xyz", text("\r\n", " ", none)},
        {"cr.xyz", text("\r", " ", none)},
        {"tabs.txt", text("\n", "\t", none)},
        {"comma.csv", "x,y,z,r,g,b\n" + text("\n", ",", none)},
        {"semicolon.csv", text("\r\n", ";", none)},
        {"skipped.xyz", text("\n", " ", skipped)},
        // The second block's records move down over the many slots the first one left free.
        {"comments.xyz", text("\n", " ",
                              [](int i) -> std::string {
                                  return i < kLines / 2 ? "# a comment as long as a record\n" : "";
                              })},
        {"unended.xyz", text("\n", " ", none).substr(0, text("\n", " ", none).size() - 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.bytes), loaded);
        expectRecords(loaded, kLines);
        EXPECT_EQ(loaded.result.message, "");
        EXPECT_EQ(loaded.cloud.colour, ColourKind::Rgb);
    }
}

// A bad line anywhere stops the read there, with its line number; records after it are not
// kept even when another thread has read them.
TEST(ColumnTextBlocks, ABadLineInEitherHalfStopsThereWithItsNumber) {
    for (const int at : {3, kLines / 2 + 7, kLines - 1}) {
        SCOPED_TRACE("bad record " + std::to_string(at));
        // One comment line before record 10 moves the line numbers after it by one.
        const std::string bytes = text("\n", " ", [at](int i) -> std::string {
            return i == 10 ? "# one\n" : i == at ? "1 2 x 4 5 6\n" : "";
        });
        LoadedCloud loaded;
        loadFile(scratchFile("bad.xyz", bytes), loaded);
        expectRecords(loaded, at);
        EXPECT_EQ(loaded.result.message,
                  "line " + std::to_string(at + 1 + (at > 10)) + " is not a complete record");
    }
    // A line of separators alone is no blank line in a comma separated file.
    LoadedCloud commas;
    loadFile(scratchFile("commas.csv",
                         text("\n", ",",
                              [](int i) -> std::string { return i == kLines / 2 ? ", ,\n" : ""; })),
             commas);
    expectRecords(commas, kLines / 2);
}

TEST(ColumnTextBlocks, HolesDropInEveryHalfAndTheShiftComesFromTheFirstFinitePoint) {
    // Non-finite positions first, in the middle and last; coordinates that need a shift.
    const double origin = 600000.0;
    std::string bytes;
    int holes = 0;
    for (int i = 0; i < kLines; ++i) {
        if (i == 0 || i == kLines / 2 || i == kLines - 1) {
            bytes += i == kLines / 2 ? "1 inf 2 3 4 5\n" : "nan 1 2 3 4 5\n";
            ++holes;
        }
        bytes += record(i, " ", origin) + "\n";
    }
    LoadedCloud loaded;
    loadFile(scratchFile("holes.xyz", bytes), loaded);
    expectRecords(loaded, kLines, origin);
    EXPECT_EQ(loaded.cloud.dropped, holes);
    EXPECT_TRUE(loaded.cloud.shifted);
}

// 0..255 or 0..1 is decided over every record read, wherever the first value above 1 is.
TEST(ColumnTextBlocks, TheColourScaleIsOneDecisionForTheFile) {
    const struct {
        const char* name;
        int wideAt; // the record whose blue is 200; -1 for none
        float blue; // of record 1
    } cases[] = {
        {"fractions.xyz", -1, 0.5f},
        {"wide_first.xyz", 0, 0.5f / 255.0f},
        {"wide_late.xyz", kLines - 3, 0.5f / 255.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes;
        for (int i = 0; i < kLines; ++i) {
            char line[96];
            std::snprintf(line, sizeof line, "%d 0 0 0 1 %s\n", i, i == c.wideAt ? "200" : "0.5");
            bytes += line;
        }
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, bytes), loaded);
        ASSERT_EQ(loaded.cloud.count, kLines);
        EXPECT_FLOAT_EQ(loaded.cloud.points[1].b, c.blue);
        EXPECT_FLOAT_EQ(loaded.cloud.points[kLines / 2 + 1].g, c.wideAt < 0 ? 1.0f : 1 / 255.0f);
    }
}

// A PTS count below the records ends the read at that count, holes counted among them, and
// says nothing of the records after it.
TEST(ColumnTextBlocks, APtsCountEndsTheReadWhereverItFalls) {
    for (const int declared : {100, kLines / 2 + 3, kLines + 50}) {
        SCOPED_TRACE("declared " + std::to_string(declared));
        std::string bytes = std::to_string(declared) + "\n";
        int holes = 0;
        for (int i = 0; i < kLines; ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "%.2f %.3f %.3f 7 %d %d %d\n", expected(i, 0),
                          expected(i, 1), expected(i, 2), i % 256, i % 7, 255 - i % 256);
            // Holes right around the count, where it may end the read inside a block.
            if (i >= declared - 3 && i < declared + 3 && i % 2) {
                bytes += "nan 0 0 7 0 0 0\n";
                ++holes;
            }
            bytes += line;
        }
        bytes += "not a record\n";
        // What a read of the lines one by one, stopping at the count, keeps and drops.
        int kept = 0, dropped = 0;
        for (int i = 0; i < kLines && kept + dropped < declared; ++i) {
            if (i >= declared - 3 && i < declared + 3 && i % 2)
                ++dropped;
            if (kept + dropped < declared)
                ++kept;
        }
        LoadedCloud loaded;
        loadFile(scratchFile("count.pts", bytes), loaded);
        expectRecords(loaded, kept);
        EXPECT_EQ(loaded.cloud.dropped, dropped);
        EXPECT_EQ(loaded.result.message,
                  declared > kLines
                      ? "line " + std::to_string(kLines + holes + 2) + " is not a complete record"
                      : "");
    }
}

// Ascii PLY and PCD bodies read in blocks as well: one vertex or point per line, the count from
// the header, faces after the vertices, holes, and a malformed line named by its point.
TEST(AsciiBodyBlocks, PlyAndPcdLinesOnBothSidesOfTheSplit) {
    auto body = [](int badAt, int holeAt) {
        std::string lines;
        for (int i = 0; i < kLines; ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "%.2f %.3f %.3f %d\n", expected(i, 0), expected(i, 1),
                          expected(i, 2), (i % 256) << 16);
            lines += i == badAt ? "1 2\n" : i == holeAt ? "nan nan nan 0\n" : line;
        }
        return lines;
    };
    const std::string ply = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(kLines) +
                            "\nproperty float x\nproperty float y\nproperty float z\n"
                            "property int red\nelement face 2\n"
                            "property list uchar int vertex_indices\nend_header\n";
    const std::string pcd = "# .PCD v0.7\nFIELDS x y z rgb\nSIZE 4 4 4 4\nTYPE F F F U\n"
                            "COUNT 1 1 1 1\nPOINTS " +
                            std::to_string(kLines) + "\nDATA ascii\n";
    const std::string faces = "3 0 1 2\n3 2 1 0\n";
    const struct {
        const char* name;
        std::string bytes;
        int count;
        int holeAt; // -1 for none
        const char* message;
    } cases[] = {
        {"whole.ply", ply + body(-1, -1) + faces, kLines, -1, ""},
        {"holes.ply", ply + body(-1, kLines / 2), kLines - 1, kLines / 2, ""},
        {"bad.ply", ply + body(kLines / 2 + 5, 3), kLines / 2 + 4, 3, "vertex 20006 is missing"},
        {"whole.pcd", pcd + body(-1, -1) + "9 9 9 0\n", kLines, -1, ""},
        {"holes.pcd", pcd + body(-1, kLines - 2), kLines - 1, kLines - 2, ""},
        {"bad.pcd", pcd + body(kLines / 2 + 5, -1), kLines / 2 + 5, -1, "point 20006 is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.bytes), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        ASSERT_EQ(loaded.cloud.count, c.count);
        EXPECT_EQ(loaded.cloud.dropped, c.holeAt >= 0 ? 1 : 0);
        EXPECT_EQ(loaded.result.message.rfind(c.message, 0), 0u) << loaded.result.message;
        // Records in file order, the hole left out; PCD's packed colour read back.
        const bool pcdFile = std::string(c.name).find(".pcd") != std::string::npos;
        for (int i = 0; i < c.count; i += 97) {
            const int record = c.holeAt >= 0 && i >= c.holeAt ? i + 1 : i;
            ASSERT_EQ(loaded.file(i, 0), expected(record, 0)) << i;
            ASSERT_EQ(loaded.file(i, 1), expected(record, 1)) << i;
            if (pcdFile) {
                ASSERT_FLOAT_EQ(loaded.cloud.points[i].r,
                                static_cast<float>(record % 256) / 255.0f);
            }
        }
    }
}
