// tests/io/io_test_support.cpp - the load without exit, and scratch files.
#include "tests/io/io_test_support.h"

#include "io/cloud_load.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

double LoadedCloud::file(int32_t index, int axis) const {
    const PointRecord& p = cloud.points[index];
    const float value = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
    return value + cloud.shift[axis];
}

void loadFile(const std::string& path, LoadedCloud& loaded) {
    CloudLoad load;
    load.begin(path.c_str(), CloudLoad::Place::Here);
    loaded.result = load.result();
    loaded.result.points = nullptr;
    if (!load.refused())
        load.finish(loaded.cloud);
}

std::string scratchPath(const std::string& name) {
    return scratchDir() + name;
}

std::string scratchFile(const std::string& name, const std::string& bytes) {
    const std::string path = scratchPath(name);
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string testData(const std::string& name) {
    return std::string(POINTILLIST_TEST_DATA_DIR) + "/" + name;
}
