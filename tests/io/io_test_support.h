// tests/io/io_test_support.h - reading a file the way the programs do, and writing scratch files.
#pragma once

#include "io/point_cloud.h"
#include "io/read_result.h"

#include <cstring>
#include <string>

// The cloud and what the reader said, through the same dispatcher and finishing as the
// programs, without exiting on a refusal.
struct LoadedCloud {
    ReadResult result; // status, message and expected; its points moved to cloud
    PointCloud cloud;
    LoadedCloud() = default;
    LoadedCloud(const LoadedCloud&) = delete;
    LoadedCloud& operator=(const LoadedCloud&) = delete;
    ~LoadedCloud() { releasePoints(cloud.points); }
    // A point in file coordinates.
    double file(int32_t index, int axis) const;
};

void loadFile(const std::string& path, LoadedCloud& loaded);
// Where scratchFile puts NAME: a folder of this test process alone.
std::string scratchPath(const std::string& name);
// Writes bytes to a file of this name in the test's scratch folder and returns its path.
std::string scratchFile(const std::string& name, const std::string& bytes);
std::string testData(const std::string& name);

// Writes value's bytes at `at`, growing bytes to hold them.
template <class T> void put(std::string& bytes, size_t at, T value) {
    if (bytes.size() < at + sizeof value)
        bytes.resize(at + sizeof value);
    std::memcpy(&bytes[at], &value, sizeof value);
}

// Appends value's bytes, most significant first when big.
template <class T> void append(std::string& bytes, T value, bool big = false) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    for (size_t i = 0; i < sizeof value; ++i)
        bytes += raw[big ? sizeof value - 1 - i : i];
}
