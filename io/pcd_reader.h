// io/pcd_reader.h - PCD, v0.7 and the older headers: ascii, binary and binary_compressed.
#pragma once

#include "io/format_reader.h"

#include <cstddef>
#include <string>
#include <vector>

// The header keys, one per line at the start (comments allowed): "# .PCD", VERSION or FIELDS.
bool hasPcdSignature(const unsigned char* head, size_t size);

struct PcdField {
    std::string name;
    int size = 4;
    char type = 'F'; // I, U or F
    int count = 1;
    size_t offset = 0; // within a point of the binary layout
};

struct PcdLayout {
    std::vector<PcdField> fields;
    uint64_t width = 0, height = 1, points = 0;
    enum class Data { Ascii, Binary, Compressed } data = Data::Ascii;
    size_t pointBytes = 0;
    size_t bodyOffset = 0;
};

bool parsePcdHeader(const unsigned char* bytes, size_t size, PcdLayout& layout,
                    std::string& reason);

// x, y, z of any size and type; colour from rgb (a float whose bits are 0x00RRGGBB) or rgba (a
// uint holding the same word); intensity as grey. NaN positions (holes in organised clouds)
// are dropped and counted.
ReadResult readPcd(const ReadRequest& request);
