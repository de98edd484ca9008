// tests/support/file_text.h - a whole file read into a string: what a program wrote, a log.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
