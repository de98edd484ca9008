// tests/io/native/fast_reader_test.cpp - the fast reader against the fscanf reader: awkward texts,
// every block size, the two-thread split, real and generated clouds.
#include "io/native/fast_reader.h"
#include "io/native/scanf_reader.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// A file that exists for one test.
class TempFile {
public:
    explicit TempFile(const std::string& text) {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/pointillist-reader-XXXXXX";
        const int fd = mkstemp(&path_[0]);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    }
    ~TempFile() { unlink(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

struct Result {
    ReadResult read;
    explicit Result(ReadResult r) : read(r) {}
    ~Result() { releasePoints(read.points); }
};

// Status, count and every bit of the counted records; records past count are unspecified.
::testing::AssertionResult sameAs(const ReadResult& expected, const ReadResult& got) {
    if (expected.status != got.status)
        return ::testing::AssertionFailure()
               << "status " << int(got.status) << ", expected " << int(expected.status);
    if (expected.count != got.count)
        return ::testing::AssertionFailure()
               << "count " << got.count << ", expected " << expected.count;
    const float* want = reinterpret_cast<const float*>(expected.points);
    const float* have = reinterpret_cast<const float*>(got.points);
    for (int64_t i = 0; i < int64_t(expected.count) * 6; ++i)
        if (std::memcmp(&want[i], &have[i], sizeof(float)) != 0)
            return ::testing::AssertionFailure()
                   << "number " << i << " is " << have[i] << ", expected " << want[i];
    return ::testing::AssertionSuccess();
}

// The file's bytes, as a mapping would hold them; empty for what cannot be read.
std::string bytesOf(const char* path) {
    std::string bytes;
    FILE* file = std::fopen(path, "rb");
    char buffer[1 << 16];
    for (size_t n; file && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    if (file)
        std::fclose(file);
    return bytes;
}

// Reads the file with the oracle, then with the fast reader at several block sizes, alone and
// split over two threads from the first byte of the body on, by path and from its bytes.
void expectSameAsOracle(const char* path, std::vector<size_t> blocks = {1, 2, 3, 7, 64, 1 << 20}) {
    Result oracle(readPointFileScanf(path));
    const std::string bytes = bytesOf(path);
    const auto* mapped = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t block : blocks)
        for (int64_t split : {int64_t(0), int64_t(1) << 40}) {
            SCOPED_TRACE("block " + std::to_string(block) + (split ? "" : ", split"));
            FastReadOptions options;
            options.blockBytes = block;
            options.splitBytes = split;
            Result fast(readPointFile(path, options));
            EXPECT_TRUE(sameAs(oracle.read, fast.read));
            if (oracle.read.status != ReadStatus::CannotOpen) {
                Result fromBytes(readPointBytes(mapped, bytes.size(), options));
                EXPECT_TRUE(sameAs(oracle.read, fromBytes.read)) << "from the bytes";
            }
        }
}

void expectSameAsOracle(const std::string& text,
                        std::vector<size_t> blocks = {1, 2, 3, 7, 64, 1 << 20}) {
    SCOPED_TRACE("text \"" + text + "\"");
    TempFile file(text);
    expectSameAsOracle(file.path(), blocks);
}

// The block sizes the many number forms are read at. Under the thread checker, which runs these
// for the threads and not for the parsing, a small block and one that holds any of these files
// whole: each read clears its block, and the checker's clearing of a megabyte a read took two
// minutes there.
std::vector<size_t> numberFormBlocks() {
#ifdef POINTILLIST_THREAD_CHECKER
    return {7, 4096};
#else
    return {1, 2, 3, 7, 64, 1 << 20};
#endif
}

} // namespace

TEST(FastReaderHeader, MatchesOracleForEveryHeaderForm) {
    const char* body = " 1 2 3 4 5 6\n7 8 9 10 11 12\n";
    for (const char* header : {"# points = 2",
                               "#points=2",
                               "#  points \t=\n\n 2",
                               "# Points = 2",
                               "\n# points = 2",
                               " # points = 2",
                               "# point = 2",
                               "#\npoints\n=\n2",
                               "# points = +2",
                               "# points = -0",
                               "# points = 02",
                               "# points = 2x",
                               "# points = x",
                               "# points =",
                               "# points",
                               "#",
                               "",
                               "# points = 1",
                               "# points = 3",
                               "# points = 0"})
        expectSameAsOracle(std::string(header) + body);
}

TEST(FastReaderHeader, CountsThatCannotBeAllocatedFailInBothReaders) {
    for (const char* header : {"# points = -1", "# points = -2147483648", "# points = 2147483648",
                               "# points = 4294967298", "# points = 99999999999999999999999",
                               "# points = -99999999999999999999999"}) {
        SCOPED_TRACE(header);
        TempFile file(std::string(header) + "\n1 2 3 4 5 6\n");
        Result oracle(readPointFileScanf(file.path()));
        Result fast(readPointFile(file.path()));
        EXPECT_EQ(fast.read.status, ReadStatus::CannotAllocate);
        EXPECT_TRUE(sameAs(oracle.read, fast.read));
    }
}

TEST(FastReaderHeader, MissingFileAndDirectoryMatchOracle) {
    Result missing(readPointFile("/nonexistent/cloud.txt"));
    EXPECT_EQ(missing.read.status, ReadStatus::CannotOpen);
    // A directory opens for reading but holds no points: refused, not shown as an empty cloud.
    expectSameAsOracle("/", {1 << 20});
    Result directory(readPointFile("/"));
    EXPECT_EQ(directory.read.status, ReadStatus::CannotOpen);
}

// Each number form is placed last in a record and at every position of a record, followed by
// more records, so the test sees both the value and what the scan consumed.
TEST(FastReaderNumbers, EveryFormThatPercentFTakesOrRejects) {
    const char* forms[] = {"0",
                           "-0",
                           "+0",
                           "1",
                           "-1",
                           "+1",
                           "1.",
                           ".5",
                           "-.5",
                           "+.5",
                           "1.5e3",
                           "1.5E+3",
                           "1e-3",
                           "1e",
                           "1E",
                           "1e+",
                           "1e-",
                           "1e5e",
                           "1e5.5",
                           "1.5.5",
                           "1-2",
                           "1+2",
                           "1..",
                           ".",
                           "-",
                           "+",
                           "+-1",
                           "-+1",
                           "--1",
                           ".e1",
                           "-.e1",
                           "e5",
                           "0x",
                           "0X",
                           "-0x",
                           "0x1",
                           "0x1p",
                           "0x1p+",
                           "0x1P-2",
                           "0x1.8p1",
                           "0x.p1",
                           "0xg",
                           "0x.",
                           "0xe+1",
                           "0x1e+1",
                           "00x1",
                           "0x1p3.5",
                           "nan",
                           "NaN",
                           "-nan",
                           "+NAN",
                           "nan(",
                           "nan(123)",
                           "na",
                           "n",
                           "-n",
                           "nanx",
                           "inf",
                           "-Inf",
                           "INF",
                           "infinity",
                           "-INFINITY",
                           "infinit",
                           "infin",
                           "infx",
                           "in",
                           "i",
                           "3.4028235e38",
                           "3.4028236e38",
                           "1e39",
                           "-1e39",
                           "1e-45",
                           "7e-46",
                           "1e-50",
                           "1.17549435e-38",
                           "0.000000000000000000000000000000000000000000001401298464324817",
                           "123456789012345678901234567890",
                           "0.1000000000000000055511151231257827",
                           "16777217",
                           "16777216.5",
                           "33554435",
                           "1.00000005960464477539",
                           "0e999999999999",
                           "1e999999999999",
                           "1e-999999999999",
                           "000000000000000000000000000001.5",
                           "9007199254740993",
                           "7.038531e-26",
                           "1,5",
                           "1;",
                           "\x80",
                           "1\x80",
                           "#"};
    for (const char* form : forms)
        for (int position = 0; position < 6; ++position) {
            std::string record;
            for (int i = 0; i < 6; ++i)
                record += (i == position ? std::string(form) : std::to_string(i + 1)) + " ";
            expectSameAsOracle("# points = 3\n" + record + "\n1 2 3 4 5 6\n7 8 9 10 11 12\n",
                               numberFormBlocks());
        }
}

TEST(FastReaderNumbers, UnusualBytesAndLayouts) {
    const std::string nul("1 2 3\0 4 5 6\n", 13);
    for (const std::string& text : {
             std::string("# points = 2\r\n1 2 3 4 5 6\r\n7 8 9 10 11 12\r\n"),
             std::string("# points = 2\n1\n2\n3\n4\n5\n6 7 8 9 10 11 12"),
             std::string("# points = 2\n1 2 3 4 5 6 7 8 9 10 11 12"),
             std::string("# points = 2\n\v\f\t1 2 3 4 5 6\n\n\n   7 8 9 10 11 12\t"),
             std::string("# points = 3\n1 2 3 4 5 6\n7 8 9"),
             std::string("# points = 3\n1 2 3 4 5 6\n7 8 9 10 11 12"),
             std::string("# points = 3\n1 2 3 4 5 6\n7 8 9 10 11 1e"),
             std::string("# points = 3\n1 2 3 4 5 6\n7 8 9 10 11 -"),
             std::string("# points = 1\n1 2 3 4 5 6 garbage after the last record"),
             std::string("# points = 2\n") + nul + "7 8 9 10 11 12\n",
             std::string("# points = 2\n1 2 3 4 5 6") + std::string(3000, ' ') + "7 8 9 10 11 12",
             std::string("# points = 1\n") + std::string(5000, '1') + " 2 3 4 5 6",
             std::string("# points = 1\n0.") + std::string(5000, '0') + "1 2 3 4 5 6",
         })
        expectSameAsOracle(text);
}

// Random clouds in every format printf has, so that values near rounding boundaries, long and
// short mantissas, exponents and hexadecimal floats all cross block ends somewhere.
TEST(FastReaderNumbers, RandomCloudsInManyFormats) {
    std::mt19937 random(1234);
    const char* formats[] = {"%.9g", "%.3f", "%.1f", "%g", "%e", "%.17g", "%a", "%.0f", "%.6e"};
    for (int cloud = 0; cloud < 20; ++cloud) {
        std::string text = "# points = 400\n";
        char number[64];
        for (int i = 0; i < 400 * 6; ++i) {
            const uint32_t bits = random();
            float value;
            std::memcpy(&value, &bits, sizeof value);
            double x = (random() % 4 == 0) ? double(value)
                                           : std::ldexp(double(random()) / 4294967296.0 - 0.5,
                                                        int(random() % 40) - 20);
            if (random() % 8 == 0)
                x = double(int(random() % 2001) - 1000);
            std::snprintf(number, sizeof number, formats[random() % 9], x);
            text += number;
            text += (random() % 6 == 0) ? "\n" : " ";
        }
        SCOPED_TRACE("cloud " + std::to_string(cloud));
        TempFile file(text);
        expectSameAsOracle(file.path(), {5, 13, 100, 1 << 20});
    }
}

// With the split forced on small files, the second thread starts right after the header; what
// comes before and after the place it starts must not change the result.
TEST(FastReaderSplit, AwkwardTextOnEitherSideOfTheHandOver) {
    std::string plain;
    for (int i = 0; i < 200; ++i)
        plain += std::to_string(i) + ".25 -1.5 2e1 0.1 0.2 0.3\n";
    for (const char* odd : {"1-2", "nan(", "1e5x", "0x1p3", "infinity", "1.5.5", "- 1", "x"}) {
        SCOPED_TRACE(odd);
        for (size_t at : {size_t(0), plain.size() / 3, plain.size() / 2, plain.size() * 3 / 5,
                          plain.size() - 1}) {
            std::string text = plain;
            const size_t line = text.rfind('\n', at);
            text.insert(line == std::string::npos ? 0 : line + 1, std::string(odd) + " ");
            TempFile file("# points = 250\n" + text);
            expectSameAsOracle(file.path(), {3, 64, 4096});
        }
    }
}

// A number that follows a scanned one without a blank shifts every later index by one from the
// second thread's count, which must not write over the first thread's numbers, also when the
// count ends before the hand-over. Timing decides who writes first, so each runs many times.
TEST(FastReaderSplit, ShiftedIndicesNeverReachTheRecords) {
    for (const char* text :
         {"# points = 2\n1 2 3 4 5 6 0x6e+1 7 8 9 10 11\n",
          "# points = 2\n1 2 3 4 5 6 1.5.5 7 8 9 10 11\n",
          "# points = 1\n123456789012345678901234567890 0.000000000000000000-.05e+1 0x6e+1 0xAp0 "
          "03 33554435100000789012\xcc\xce\xcd\xcc"
          "4I67890 1151231257827\n"}) {
        SCOPED_TRACE(text);
        TempFile file(text);
        for (int run = 0; run < 20; ++run)
            expectSameAsOracle(file.path(), {8, 64});
    }
}

// A pipe can't be read at offsets: the reader reads it in order and never splits.
TEST(FastReaderSplit, PipeGivesWhatTheFileGives) {
    std::string text = "# points = 300\n";
    for (int i = 0; i < 300; ++i)
        text += std::to_string(i * 0.125) + " 1 2 0.5 0.25 1e-3\n";
    TempFile file(text);
    Result oracle(readPointFileScanf(file.path()));

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::thread writer([&] {
        EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(ends[1]);
    });
    FastReadOptions options;
    options.blockBytes = 100;
    options.splitBytes = 0;
    Result fast(readPointFile(("/proc/self/fd/" + std::to_string(ends[0])).c_str(), options));
    writer.join();
    close(ends[0]);
    EXPECT_TRUE(sameAs(oracle.read, fast.read));
}

TEST(FastReaderProgress, ReportsGrowingBytesAndPointsWithinTheFile) {
    std::string text = "# points = 20000\n";
    for (int i = 0; i < 20000; ++i)
        text += "1.5 2.5 3.5 0.1 0.2 0.3\n";
    TempFile file(text);
    for (int64_t split : {int64_t(0), int64_t(1) << 40}) {
        std::vector<ReadProgress> reports;
        FastReadOptions options;
        options.blockBytes = 4096;
        options.splitBytes = split;
        options.progress = [&](const ReadProgress& progress) { reports.push_back(progress); };
        Result fast(readPointFile(file.path(), options));
        EXPECT_EQ(fast.read.count, 20000);
        ASSERT_GE(reports.size(), 10u);
        for (size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].bytesTotal, int64_t(text.size()));
            EXPECT_LE(reports[i].bytesRead, reports[i].bytesTotal);
            EXPECT_LE(reports[i].pointsRead, 20000);
            if (i > 0) {
                EXPECT_GE(reports[i].bytesRead, reports[i - 1].bytesRead);
                EXPECT_GE(reports[i].pointsRead, reports[i - 1].pointsRead);
            }
        }
    }
}

// The real clouds kept beside the repository (absent in a bare clone: then skipped).
TEST(FastReaderClouds, RealCloudsLoadIdentically) {
    const std::string dir = POINTILLIST_REAL_DATA_DIR;
    if (dir.empty())
        GTEST_SKIP() << "no real clouds: POINTILLIST_REAL_DATA_DIR is empty because "
                        "../shared/data/real was not there when CMake ran";
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr)
        GTEST_SKIP() << "no real clouds: " << dir << " (POINTILLIST_REAL_DATA_DIR) cannot be read";
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
            names.push_back(name);
    }
    closedir(folder);
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        SCOPED_TRACE(name);
        expectSameAsOracle(path.c_str(), {4093, 1 << 20});
    }
}

TEST(FastReaderClouds, GeneratedMillionPointCloudLoadsIdentically) {
    const std::string path = std::string(POINTILLIST_SCRATCH_DIR) + "/reader-test-1m.txt";
    ASSERT_EQ(std::system((std::string(GENERATE_CLOUD_EXE) + " 1000000 " + path).c_str()), 0);
    Result oracle(readPointFileScanf(path.c_str()));
    EXPECT_EQ(oracle.read.count, 1000000);
    for (int64_t split : {int64_t(0), int64_t(1) << 40}) {
        FastReadOptions options;
        options.splitBytes = split;
        Result fast(readPointFile(path.c_str(), options));
        EXPECT_TRUE(sameAs(oracle.read, fast.read));
    }
    unlink(path.c_str());
}
