// tests/io/copc/byte_source_test.cpp - ranges of a local file and of bytes in memory: exact
// bytes, refusals with a reason, and reads from several threads at once.
#include "io/byte_source.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

std::string writeScratch(const std::vector<uint8_t>& bytes) {
    const std::string path = scratchDir() + "byte-source-" + std::to_string(getpid()) + ".bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + (i >> 8));
    return bytes;
}

} // namespace

TEST(ByteSource, LocalFileAndMemoryReadTheSameRanges) {
    const std::vector<uint8_t> bytes = pattern(100000);
    const std::string path = writeScratch(bytes);
    std::string error;
    std::unique_ptr<ByteSource> file = openLocalFile(path, error);
    std::unique_ptr<ByteSource> memory = viewBytes("memory", bytes.data(), bytes.size());
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->name(), path);
    for (ByteSource* source : {file.get(), memory.get()}) {
        EXPECT_EQ(source->size(), 100000);
        std::vector<uint8_t> out(3, 0xAA);
        struct Range {
            int64_t offset, length;
        };
        for (const Range& r : {Range{0, 0}, Range{0, 100000}, Range{99999, 1}, Range{4095, 8193},
                               Range{100000, 0}}) {
            ASSERT_TRUE(source->read(r.offset, r.length, out, error)) << error;
            ASSERT_EQ(out.size(), size_t(r.length));
            EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + r.offset));
        }
        // Past the end, negative, or overflowing: refused with the range named.
        for (const Range& r : {Range{99999, 2}, Range{-1, 1}, Range{5, -1}, Range{100001, 0},
                               Range{INT64_MAX, INT64_MAX}}) {
            error.clear();
            EXPECT_FALSE(source->read(r.offset, r.length, out, error));
            EXPECT_NE(error.find("beyond its 100000 bytes"), std::string::npos) << error;
        }
    }
    unlink(path.c_str());
}

TEST(ByteSource, MissingFilesDirectoriesAndPipesAreRefused) {
    std::string error;
    EXPECT_FALSE(openLocalFile("/nonexistent/file.copc.laz", error));
    EXPECT_EQ(error, "/nonexistent/file.copc.laz: cannot be opened (No such file or directory)");
    EXPECT_FALSE(openLocalFile(scratchDir(), error));
    EXPECT_NE(error.find(": is a directory"), std::string::npos) << error;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_FALSE(openLocalFile("/proc/self/fd/" + std::to_string(fds[0]), error));
    EXPECT_NE(error.find(": is not a regular file"), std::string::npos) << error;
    close(fds[0]);
    close(fds[1]);
}

TEST(ByteSource, ThreadsReadOneFileAtOnce) {
    const std::vector<uint8_t> bytes = pattern(1 << 20);
    const std::string path = writeScratch(bytes);
    std::string error;
    std::unique_ptr<ByteSource> file = openLocalFile(path, error);
    ASSERT_TRUE(file) << error;
    std::atomic<int> wrong{0};
    auto work = [&](int seed) {
        std::vector<uint8_t> out;
        std::string why;
        for (int i = 0; i < 200; ++i) {
            const int64_t offset = (int64_t(seed) * 7919 + int64_t(i) * 104729) % (1 << 20);
            const int64_t length = std::min<int64_t>(1 + i * 37, (1 << 20) - offset);
            if (!file->read(offset, length, out, why) ||
                !std::equal(out.begin(), out.end(), bytes.begin() + offset))
                ++wrong;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(work, t);
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    unlink(path.c_str());
}
