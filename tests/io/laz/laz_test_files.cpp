// tests/io/laz/laz_test_files.cpp - helpers shared by the compressed-file tests.
#include "tests/io/laz/laz_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string testDataPath(const std::string& name) {
    return std::string(POINTILLIST_TEST_DATA_DIR) + "/laz/" + name;
}

DecodedFile decodeBytes(const std::vector<uint8_t>& file, LazFields fields, unsigned threads) {
    DecodedFile d;
    d.error = readLazFileInfo(file.data(), file.size(), d.info);
    if (!d.error.empty())
        return d;
    const uint32_t length = d.info.recordLength;
    d.records.assign(d.info.pointCount * length, 0);
    d.result =
        decodeLazFile(file.data(), file.size(), d.info, fields, threads,
                      [&](uint64_t first, const uint8_t* records, uint64_t count) {
                          std::memcpy(d.records.data() + first * length, records, count * length);
                      });

    // The reader decodes straight into its records instead: every file the tests decode must
    // come out the same that way, whole chunks and lost ones alike.
    std::vector<uint8_t> direct(d.records.size(), 0);
    const LazDecodeResult into =
        decodeLazFileInto(file.data(), file.size(), d.info, fields, threads, direct.data());
    EXPECT_EQ(into.decoded, d.result.decoded);
    EXPECT_EQ(into.chunkOk, d.result.chunkOk);
    EXPECT_EQ(into.chunkKept, d.result.chunkKept);
    EXPECT_EQ(into.problem, d.result.problem);
    for (size_t i = 0; i < into.chunks.chunks.size() && i < into.chunkKept.size(); ++i) {
        const LazChunk& c = into.chunks.chunks[i];
        const uint64_t kept = into.chunkKept[i];
        if (kept && c.firstPoint + kept <= d.info.pointCount) {
            EXPECT_EQ(std::memcmp(direct.data() + c.firstPoint * length,
                                  d.records.data() + c.firstPoint * length, kept * length),
                      0)
                << "chunk " << i;
        }
    }
    return d;
}

std::vector<uint8_t> twinRecords(const std::vector<uint8_t>& las) {
    uint32_t offset = 0, count = 0;
    uint16_t length = 0;
    std::memcpy(&offset, las.data() + 96, 4);
    std::memcpy(&length, las.data() + 105, 2);
    std::memcpy(&count, las.data() + 107, 4);
    if (las[24] == 1 && las[25] >= 4) // the 64-bit count; the legacy one may be 0
        std::memcpy(&count, las.data() + 247, 4);
    return std::vector<uint8_t>(las.begin() + offset, las.begin() + offset + count * length);
}

LazParts splitLazFile(const std::vector<uint8_t>& file) {
    LazParts parts;
    DecodedFile d = decodeBytes(file);
    parts.prefix.assign(file.begin(), file.begin() + d.info.pointData);
    for (const LazChunk& c : d.result.chunks.chunks) {
        parts.chunks.emplace_back(file.begin() + c.offset, file.begin() + c.offset + c.bytes);
        parts.points.push_back(uint32_t(c.points));
    }
    return parts;
}

size_t lazPayloadOffset(const std::vector<uint8_t>& file) {
    uint16_t header = 0;
    uint32_t vlrs = 0;
    std::memcpy(&header, file.data() + 94, 2);
    std::memcpy(&vlrs, file.data() + 100, 4);
    size_t at = header;
    for (uint32_t i = 0; i < vlrs && at + 54 <= file.size(); ++i) {
        uint16_t id = 0, length = 0;
        std::memcpy(&id, file.data() + at + 18, 2);
        std::memcpy(&length, file.data() + at + 20, 2);
        if (id == 22204)
            return at + 54;
        at += 54 + length;
    }
    return 0;
}

void putU16(std::vector<uint8_t>& bytes, size_t at, uint16_t v) {
    std::memcpy(bytes.data() + at, &v, 2);
}

void putU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    std::memcpy(bytes.data() + at, &v, 4);
}
