// tests/io/laz/laz_damage_test.cpp - damaged and unusual files: a bad chunk loses its own points
// only and says how many, chunks are found without a table, and what can't be read is
// refused with its reason.
#include "io/laz/laz_writer.h"
#include "tests/io/laz/laz_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kPointwise = "lazperf_point-color.las.laz";
const char* kLayered = "loadersgl_pdrf8-1.4.laz";

// Records [first, first + count) of d equal the twin's records [twinFirst, ...).
::testing::AssertionResult sameRange(const DecodedFile& d, size_t first,
                                     const std::vector<uint8_t>& twin, size_t twinFirst,
                                     size_t count) {
    const size_t length = d.info.recordLength;
    if ((first + count) * length > d.records.size() || (twinFirst + count) * length > twin.size())
        return ::testing::AssertionFailure() << "range out of the records";
    for (size_t i = 0; i < count; ++i)
        if (std::memcmp(&d.records[(first + i) * length], &twin[(twinFirst + i) * length],
                        length) != 0)
            return ::testing::AssertionFailure() << "record " << first + i << " differs";
    return ::testing::AssertionSuccess();
}

std::vector<LazChunkBytes> asChunks(const LazParts& parts, const std::vector<size_t>& order) {
    std::vector<LazChunkBytes> chunks;
    for (size_t i : order)
        chunks.push_back({parts.chunks[i], parts.points[i]});
    return chunks;
}

class LazDamage : public ::testing::Test {
protected:
    void SetUp() override {
        pointwise = readBytes(testDataPath(kPointwise));
        layered = readBytes(testDataPath(kLayered));
        pointwiseTwin = twinRecords(readBytes(testDataPath("lazperf_point-color.las")));
        layeredTwin = twinRecords(readBytes(testDataPath("loadersgl_pdrf8-1.4.las")));
        ASSERT_FALSE(pointwise.empty());
        ASSERT_FALSE(layered.empty());
    }
    std::vector<uint8_t> pointwise, layered, pointwiseTwin, layeredTwin;
};

} // namespace

// A file cut inside a chunk keeps the chunks before it and, of the cut chunk, the records
// decoded from bytes before the cut: the twin's records, more the later the cut, and the cut is
// said once. Nothing is read past the cut.
TEST_F(LazDamage, TruncatedFileKeepsThePointsBeforeTheCut) {
    const DecodedFile whole = decodeBytes(layered);
    const std::vector<LazChunk>& chunks = whole.result.chunks.chunks;
    const LazChunk& last = chunks[3];
    struct Cut {
        uint64_t at, wholeChunks; // points in the chunks before the cut
    };
    const Cut cuts[] = {{chunks[2].offset + 10, 512}, // inside the third chunk's head
                        {chunks[2].offset + 400, 512},
                        {chunks[2].offset + chunks[2].bytes - 40, 512},
                        {last.offset + last.bytes - 5, 768},
                        {uint64_t(layered.size() - 2), 1024}}; // the table alone
    uint64_t before = 0;
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.at);
        const DecodedFile d =
            decodeBytes(std::vector<uint8_t>(layered.begin(), layered.begin() + cut.at));
        EXPECT_GE(d.result.decoded, cut.wholeChunks);
        EXPECT_GE(d.result.decoded, before);
        before = d.result.decoded;
        EXPECT_TRUE(sameRange(d, 0, layeredTwin, 0, d.result.decoded));
        const std::string message = d.result.message();
        if (cut.wholeChunks < 1024) {
            EXPECT_EQ(message.rfind("expected 1024 points, read " +
                                        std::to_string(d.result.decoded) + " (",
                                    0),
                      0u)
                << message;
            EXPECT_EQ(message.find("expected", 1), std::string::npos) << message;
        } else {
            EXPECT_EQ(message, "");
        }
    }
    // Cut near its end, the third chunk keeps most of its points.
    EXPECT_GT(decodeBytes(std::vector<uint8_t>(layered.begin(), layered.begin() + chunks[2].offset +
                                                                    chunks[2].bytes - 40))
                  .result.decoded,
              700u);
    before = 0;
    for (uint64_t cut = 300; cut < pointwise.size(); cut += 997) {
        const std::vector<uint8_t> cutFile(pointwise.begin(), pointwise.begin() + cut);
        const DecodedFile d = decodeBytes(cutFile);
        if (!d.error.empty())
            continue; // cut inside the header or the compression record
        SCOPED_TRACE(cut);
        EXPECT_GE(d.result.decoded, before);
        EXPECT_LT(d.result.decoded, 1065u);
        before = d.result.decoded;
        EXPECT_TRUE(sameRange(d, 0, pointwiseTwin, 0, d.result.decoded));
        EXPECT_EQ(d.result.message(),
                  "expected 1065 points, read " + std::to_string(d.result.decoded) +
                      " (its chunk table offset points outside the file; "
                      "chunk 1 of 1 is cut short after " +
                      std::to_string(d.result.decoded) + " of its 1065 points)");
    }
    EXPECT_GT(before, 900u);
}

TEST_F(LazDamage, CorruptChunkLosesOnlyItsOwnPoints) {
    const LazParts parts = splitLazFile(layered);
    // A layer count that runs past the chunk, then a chunk whose stored point count is wrong.
    for (int damage = 0; damage < 2; ++damage) {
        std::vector<LazChunkBytes> chunks = asChunks(parts, {0, 1, 2, 3});
        std::vector<uint8_t>& second = chunks[1].bytes;
        if (damage == 0)
            putU32(second, 42 + 4, 0x00FFFFFF); // the XY layer's byte count
        else
            putU32(second, 42, 255);
        const DecodedFile d =
            decodeBytes(assembleLazFile(parts.prefix, 1024, chunks, false, LazTableMode::Table));
        EXPECT_EQ(d.result.decoded, 768u);
        EXPECT_EQ(d.result.message(), "expected 1024 points, read 768 (chunk 2 of 4 is corrupt)");
        EXPECT_EQ(d.result.chunkOk, (std::vector<uint8_t>{1, 0, 1, 1}));
        EXPECT_TRUE(sameRange(d, 0, layeredTwin, 0, 256));
        EXPECT_TRUE(sameRange(d, 512, layeredTwin, 512, 512));
    }
    // Garbage in the middle of the pointwise stream: its chunk is lost or decodes to noise,
    // and either way the decoder stops inside the chunk's bytes.
    std::vector<uint8_t> noisy = pointwise;
    for (size_t i = 2000; i < 2400; ++i)
        noisy[i] = uint8_t(i * 131);
    const DecodedFile d = decodeBytes(noisy);
    EXPECT_LE(d.result.decoded, 1065u);
}

// Without a usable table, fixed-size chunks are found one after the other: a pointwise chunk
// ends where its stream's reads end, a layered one after its last layer.
TEST_F(LazDamage, ChunksAreFoundWithoutTheirTable) {
    const LazParts pw = splitLazFile(pointwise);
    std::vector<uint8_t> prefix = pw.prefix;
    putU32(prefix, lazPayloadOffset(prefix) + 12, 1065); // three chunks of the one chunk
    const std::vector<LazChunkBytes> three = asChunks(pw, {0, 0, 0});
    for (LazTableMode mode :
         {LazTableMode::Table, LazTableMode::TableAtEnd, LazTableMode::NoTable}) {
        SCOPED_TRACE(int(mode));
        const DecodedFile d = decodeBytes(assembleLazFile(prefix, 3195, three, false, mode));
        EXPECT_EQ(d.result.decoded, 3195u);
        EXPECT_EQ(d.result.chunks.sequential, mode == LazTableMode::NoTable);
        for (size_t c = 0; c < 3; ++c)
            EXPECT_TRUE(sameRange(d, c * 1065, pointwiseTwin, 0, 1065));
    }

    const LazParts ly = splitLazFile(layered);
    std::vector<uint8_t> broken =
        assembleLazFile(ly.prefix, 1024, asChunks(ly, {0, 1, 2, 3}), false, LazTableMode::Table);
    const size_t tableAt =
        broken.size() - encodeChunkTable(asChunks(ly, {0, 1, 2, 3}), false).size();
    putU32(broken, tableAt, 7); // an unknown table version
    for (const std::vector<uint8_t>& file :
         {assembleLazFile(ly.prefix, 1024, asChunks(ly, {0, 1, 2, 3}), false,
                          LazTableMode::NoTable),
          broken}) {
        const DecodedFile d = decodeBytes(file);
        EXPECT_TRUE(d.result.chunks.sequential);
        EXPECT_EQ(d.result.decoded, 1024u);
        EXPECT_TRUE(sameRange(d, 0, layeredTwin, 0, 1024));
    }
}

// Variable chunks take their point counts from the table; without it, layered chunks are found
// from their heads, one after the other.
TEST_F(LazDamage, VariableChunksAreFoundFromTheirTableOrTheirHeads) {
    const LazParts ly = splitLazFile(layered);
    std::vector<uint8_t> prefix = ly.prefix;
    putU32(prefix, lazPayloadOffset(prefix) + 12, 0xFFFFFFFFu);
    const std::vector<LazChunkBytes> chunks = asChunks(ly, {3, 0, 2});
    const DecodedFile d =
        decodeBytes(assembleLazFile(prefix, 768, chunks, true, LazTableMode::Table));
    EXPECT_EQ(d.result.decoded, 768u);
    EXPECT_TRUE(sameRange(d, 0, layeredTwin, 768, 256));
    EXPECT_TRUE(sameRange(d, 256, layeredTwin, 0, 256));
    const std::vector<uint8_t> untabled =
        assembleLazFile(prefix, 768, chunks, true, LazTableMode::NoTable);
    const DecodedFile walked = decodeBytes(untabled);
    EXPECT_EQ(walked.result.decoded, 768u);
    EXPECT_TRUE(sameRange(walked, 0, layeredTwin, 768, 256));
    EXPECT_TRUE(sameRange(walked, 256, layeredTwin, 0, 256));
    EXPECT_EQ(walked.result.message(), "");
    // Cut inside the third chunk: the first two, and what the third kept, said once.
    const DecodedFile cut = decodeBytes(
        std::vector<uint8_t>(untabled.begin(), untabled.begin() + untabled.size() - 300));
    EXPECT_GE(cut.result.decoded, 512u);
    EXPECT_LT(cut.result.decoded, 768u);
    EXPECT_TRUE(sameRange(cut, 256, layeredTwin, 0, 256));
    EXPECT_TRUE(sameRange(cut, 512, layeredTwin, 512, cut.result.decoded - 512));
    EXPECT_EQ(cut.result.message(),
              "expected 768 points, read " + std::to_string(cut.result.decoded) +
                  " (it has no chunk table; chunk 3 is cut short after " +
                  std::to_string(cut.result.decoded - 512) + " of its 256 points)");
}

// What the compression record can say that this decoder does not read, each in one line.
TEST_F(LazDamage, UnsupportedVariantsAreRefusedWithTheirReason) {
    struct Row {
        const char* file;
        size_t at; // in the payload
        uint16_t value;
        const char* reason;
    };
    const Row rows[] = {
        {kPointwise, 34 + 4, 1, "POINT10 item version 1 is not supported (only version 2)"},
        {kPointwise, 34 + 6 + 4, 1, "RGB12 item version 1 is not supported (only version 2)"},
        {kLayered, 34 + 6 + 4, 5,
         "RGBNIR14 item version 5 is not supported (only versions 3 and 4)"},
        {kLayered, 34 + 12, 13, "waveform items are not supported"},
        {kPointwise, 0, 3, "POINT10 items do not fit compressor 3"},
        {kPointwise, 0, 7, "it uses an unknown compressor (7)"},
        {kPointwise, 2, 1, "it uses an unknown coder (1)"},
        {kPointwise, 34 + 6 + 2, 8, "RGB12 item has size 8"},
        {kLayered, 34 + 12 + 2, 5, "its items add up to 43 bytes but records have 42"},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> file = readBytes(testDataPath(row.file));
        putU16(file, lazPayloadOffset(file) + row.at, row.value);
        LazFileInfo info;
        EXPECT_EQ(readLazFileInfo(file.data(), file.size(), info), row.reason);
    }
    // Waveform point formats, and a file marked compressed without the record.
    std::vector<uint8_t> waveform = readBytes(testDataPath(kPointwise));
    waveform[104] = 0x84;
    LazFileInfo info;
    EXPECT_EQ(readLazFileInfo(waveform.data(), waveform.size(), info),
              "point format 4 carries waveforms, which are not supported in compressed files");
    std::vector<uint8_t> unmarked = readBytes(testDataPath(kPointwise));
    putU16(unmarked, lazPayloadOffset(unmarked) - 54 + 18, 1);
    EXPECT_EQ(readLazFileInfo(unmarked.data(), unmarked.size(), info),
              "it has no compression record");
}
