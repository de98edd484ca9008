// tests/support/scratch_dir.h - a scratch folder of this test process alone.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

// CTest runs the tests of one executable side by side, each in its own process: files of the
// same name in one shared folder would be rewritten under a test that is reading them.
inline std::string scratchDir() {
    static const std::string folder = [] {
        const std::string path = ::testing::TempDir() + "pointillist-" + std::to_string(getpid());
        mkdir(path.c_str(), 0700);
        return path + "/";
    }();
    return folder;
}

// Writes bytes to a file of this name in the scratch folder; its path.
inline std::string writeScratchFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratchDir() + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}
