// tests/io/laz/laz_test_files.h - the compressed test files, their twins, and whole-file decoding.
#pragma once

#include "io/laz/laz_file.h"

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> readBytes(const std::string& path);
std::string testDataPath(const std::string& name); // in tests/data/laz/

// Every record of a file decoded into one array (points of lost chunks left zero).
struct DecodedFile {
    std::string error; // readLazFileInfo's refusal, if any
    LazFileInfo info;
    LazDecodeResult result;
    std::vector<uint8_t> records;
};
DecodedFile decodeBytes(const std::vector<uint8_t>& file, LazFields fields = LazFields::All,
                        unsigned threads = 2);

// The records of an uncompressed twin, at its offset to point data.
std::vector<uint8_t> twinRecords(const std::vector<uint8_t>& las);

// A compressed file taken apart: everything before its point data, and its chunks' bytes.
struct LazParts {
    std::vector<uint8_t> prefix;
    std::vector<std::vector<uint8_t>> chunks;
    std::vector<uint32_t> points;
};
LazParts splitLazFile(const std::vector<uint8_t>& file);

// Where the compression record's payload starts in a file; 0 when there is none.
size_t lazPayloadOffset(const std::vector<uint8_t>& file);

// Little-endian fields written into a byte vector.
void putU16(std::vector<uint8_t>& bytes, size_t at, uint16_t v);
void putU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v);
