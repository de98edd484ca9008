// io/ply/ply_layout.h - private to the PLY reader: the header as a plain description, which
// the bodies are decoded from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PlyType { Int8, Uint8, Int16, Uint16, Int32, Uint32, Float32, Float64 };

struct PlyProperty {
    std::string name;
    PlyType type = PlyType::Float32;
    bool isList = false;
    PlyType countType = PlyType::Uint8; // of a list
};

struct PlyElement {
    std::string name;
    uint64_t count = 0;
    std::vector<PlyProperty> properties;
};

struct PlyLayout {
    enum class Encoding { Ascii, Little, Big } encoding = Encoding::Ascii;
    std::vector<PlyElement> elements;
    size_t bodyOffset = 0;
};

// False with a one-line reason when the header cannot be read.
bool parsePlyHeader(const unsigned char* bytes, size_t size, PlyLayout& layout,
                    std::string& reason);
