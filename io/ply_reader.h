// io/ply_reader.h - PLY: ascii, binary little- and big-endian, the vertex element among any others.
#pragma once

#include "io/format_reader.h"

#include <cstddef>
#include <string>
#include <vector>

bool hasPlySignature(const unsigned char* head, size_t size);

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

// The header as a plain description: the body is decoded from it.
struct PlyLayout {
    enum class Encoding { Ascii, Little, Big } encoding = Encoding::Ascii;
    std::vector<PlyElement> elements;
    size_t bodyOffset = 0;
};

// False with a one-line reason when the header cannot be read.
bool parsePlyHeader(const unsigned char* bytes, size_t size, PlyLayout& layout,
                    std::string& reason);

// The vertex element's x, y, z and colour: red/green/blue or diffuse_red/..., as uchar or
// ushort (scaled to 0..1) or float; else the f_dc_0..2 of Gaussian splats; else intensity
// as grey. Other elements and properties, lists included, are skipped.
ReadResult readPly(const ReadRequest& request);
