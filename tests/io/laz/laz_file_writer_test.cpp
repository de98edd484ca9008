// tests/io/laz/laz_file_writer_test.cpp - whole compressed LAS 1.4 files from the writer: read back
// by the decoder with their header, VLRs, chunks, table and EVLRs where they should be; calls
// out of order and refused chunks; the writer's output against real files' points and sizes.
#include "io/laz/chunk_decoder.h"
#include "io/laz/compression_record.h"
#include "io/laz/laz_file_writer.h"
#include "tests/io/laz/laz_test_files.h"

#include "io/byte_order.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Points along a line with every field moving a little, as a scan's would.
std::vector<uint8_t> lineRecords(uint32_t count, uint32_t length, uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::vector<uint8_t> records(size_t(count) * length);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* p = &records[size_t(i) * length];
        storeLittle(p, int32_t(i * 25 + random() % 7));
        storeLittle(p + 4, int32_t(1000 + random() % 50));
        storeLittle(p + 8, int32_t(i % 300));
        storeLittle(p + 12, uint16_t(random() % 1000));
        p[14] = uint8_t((1 + i % 3) | (3 << 4));
        p[15] = uint8_t((i / 1000) % 4 << 4);
        p[16] = uint8_t(i % 50 == 0 ? 6 : 2);
        storeLittle(p + 22, 3.0e8 + i * 1e-5);
        for (uint32_t b = 30; b < length; ++b)
            p[b] = uint8_t(i / 10 + b);
    }
    return records;
}

LazLayout layoutOf(int format, uint32_t length, uint32_t chunkSize) {
    LazLayout layout;
    EXPECT_TRUE(layeredLazLayout(format, length, chunkSize, layout));
    return layout;
}

Las14Header someHeader() {
    Las14Header h;
    h.systemId = "TEST";
    h.creationDay = 41;
    h.creationYear = 2024;
    for (int i = 0; i < 3; ++i) {
        h.scale[i] = 0.01 * (i + 1);
        h.offset[i] = 1000.0 * i;
        h.min[i] = -5.0 - i;
        h.max[i] = 5.0 + i;
    }
    h.pointsByReturn[0] = 7;
    return h;
}

LasVlr vlr(const char* user, uint16_t id, size_t size, uint8_t fill) {
    LasVlr v;
    v.userId = user;
    v.recordId = id;
    v.description = "test";
    v.payload.assign(size, fill);
    return v;
}

::testing::AssertionResult sameBytes(const std::vector<uint8_t>& got,
                                     const std::vector<uint8_t>& want) {
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << got.size() << " bytes instead of " << want.size();
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << "byte " << i << " differs";
    return ::testing::AssertionSuccess();
}

// The records of a whole file through the writer, fixed chunks of chunkSize.
std::vector<uint8_t> compress(const std::vector<uint8_t>& records, int format, uint32_t length,
                              uint32_t chunkSize) {
    std::vector<uint8_t> file;
    EXPECT_TRUE(writeLazFile(layoutOf(format, length, chunkSize), someHeader(), {}, records.data(),
                             records.size() / length, lazMemorySink(file)));
    return file;
}

} // namespace

TEST(LazFileWriter, FixedChunksReadBackWithTheirHeader) {
    const std::vector<uint8_t> records = lineRecords(2600, 36);
    const std::vector<uint8_t> file = compress(records, 7, 36, 1000);
    const DecodedFile d = decodeBytes(file);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.result.message(), "");
    EXPECT_EQ(d.result.chunks.chunks.size(), 3u);
    EXPECT_EQ(d.info.layout.chunkSize, 1000u);
    EXPECT_TRUE(sameBytes(d.records, records));

    // The writer's fields, then the caller's as given.
    const uint8_t* h = file.data();
    EXPECT_EQ(std::memcmp(h, "LASF", 4), 0);
    EXPECT_EQ(h[24], 1);
    EXPECT_EQ(h[25], 4);
    EXPECT_EQ(loadLittle<uint16_t>(h + 94), 375);
    EXPECT_EQ(loadLittle<uint32_t>(h + 100), 1u);
    EXPECT_EQ(h[104], 0x87);
    EXPECT_EQ(loadLittle<uint16_t>(h + 105), 36);
    EXPECT_EQ(loadLittle<uint32_t>(h + 107), 0u); // legacy count: 0 for format 7
    EXPECT_EQ(loadLittle<uint64_t>(h + 247), 2600u);
    EXPECT_EQ(loadLittle<uint64_t>(h + 255), 7u);
    EXPECT_EQ(loadLittle<uint16_t>(h + 6), 0x10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h + 26)), "TEST");
    EXPECT_EQ(loadLittle<uint16_t>(h + 90), 41);
    EXPECT_EQ(loadLittle<double>(h + 139), 0.02);   // scale y
    EXPECT_EQ(loadLittle<double>(h + 171), 2000.0); // offset z
    EXPECT_EQ(loadLittle<double>(h + 179), 5.0);    // max x
    EXPECT_EQ(loadLittle<double>(h + 187), -5.0);   // min x
    EXPECT_EQ(loadLittle<double>(h + 219), -7.0);   // min z
    EXPECT_EQ(loadLittle<uint32_t>(h + 243), 0u);   // no EVLRs
}

// An octree file's pattern: its own VLR first with room for values known at the end, the
// compression record second, chunks of any size whose places the hierarchy records, and an
// EVLR after the table that holds those places.
TEST(LazFileWriter, VariableChunksWithTheirPlacesAndAnEvlr) {
    const LazLayout layout = layoutOf(8, 40, 0);
    const std::vector<uint8_t> records = lineRecords(5320, 40, 3);
    const std::vector<LasVlr> first = {vlr("copc", 1, 160, 0), lazVlr(layout),
                                       vlr("LASF_Projection", 2112, 30, 'w')};
    std::vector<uint8_t> file;
    LazFileWriter writer(layout, lazMemorySink(file));
    ASSERT_TRUE(writer.begin(someHeader(), first));
    const uint32_t sizes[] = {1, 17, 5000, 2, 300};
    std::vector<LazChunk> places;
    uint64_t at = 0;
    for (uint32_t n : sizes) {
        LazChunk place;
        ASSERT_TRUE(writer.writeChunk(records.data() + at * 40, n, &place));
        places.push_back(place);
        at += n;
    }
    ASSERT_TRUE(writer.endChunks());
    const uint64_t evlrAt = writer.end();
    LasVlr hierarchy = vlr("copc", 1000, 0, 0);
    for (const LazChunk& c : places) {
        hierarchy.payload.resize(hierarchy.payload.size() + 8);
        storeLittle(hierarchy.payload.data() + hierarchy.payload.size() - 8, c.offset);
    }
    ASSERT_TRUE(writer.writeEvlr(hierarchy));
    std::vector<LasVlr> last = first;
    last[0].payload.assign(160, 0xAB);
    ASSERT_TRUE(writer.finish(someHeader(), last));

    const DecodedFile d = decodeBytes(file);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.result.message(), "");
    EXPECT_TRUE(d.info.layout.variableChunks());
    EXPECT_TRUE(sameBytes(d.records, records));
    ASSERT_EQ(d.result.chunks.chunks.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        const LazChunk& read = d.result.chunks.chunks[i];
        EXPECT_EQ(read.offset, places[i].offset);
        EXPECT_EQ(read.bytes, places[i].bytes);
        EXPECT_EQ(read.points, sizes[i]);
        EXPECT_EQ(writer.chunks()[i].firstPoint, read.firstPoint);
        // A node is read from its place alone.
        ChunkDecoder alone(layout, LazFields::All);
        std::vector<uint8_t> out(sizes[i] * 40);
        ASSERT_TRUE(alone.start(file.data() + places[i].offset,
                                file.data() + places[i].offset + places[i].bytes, sizes[i]));
        ASSERT_TRUE(alone.read(out.data(), sizes[i]));
        EXPECT_EQ(std::memcmp(out.data(), records.data() + read.firstPoint * 40, out.size()), 0);
    }

    // The VLRs in the order given, the first with its final payload; the EVLR where the header
    // says, as the end of the chunks said it would be.
    EXPECT_EQ(loadLittle<uint32_t>(file.data() + 100), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + 377)), "copc");
    EXPECT_EQ(file[429], 0xAB);
    EXPECT_EQ(file[588], 0xAB);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + 589 + 2)), "laszip encoded");
    EXPECT_EQ(lazPayloadOffset(file), 589u + 54);
    EXPECT_EQ(loadLittle<uint64_t>(file.data() + 235), evlrAt);
    EXPECT_EQ(loadLittle<uint32_t>(file.data() + 243), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data() + evlrAt + 2)), "copc");
    EXPECT_EQ(loadLittle<uint16_t>(file.data() + evlrAt + 18), 1000);
    EXPECT_EQ(loadLittle<uint64_t>(file.data() + evlrAt + 20), 40u);
    EXPECT_EQ(loadLittle<uint64_t>(file.data() + evlrAt + 60 + 16), places[2].offset);
    EXPECT_EQ(file.size(), evlrAt + 60 + 40);
}

// No points: a valid file whose table lists no chunks.
TEST(LazFileWriter, FileWithoutPointsReadsAsEmpty) {
    const std::vector<uint8_t> file = compress({}, 6, 30, 0);
    const DecodedFile d = decodeBytes(file);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.info.pointCount, 0u);
    EXPECT_EQ(d.result.message(), "");
    EXPECT_EQ(file.size(), 375u + 54 + 40 + 8 + 8 + 4);
}

// Each misuse fails the writer, which then writes nothing more.
TEST(LazFileWriter, RefusesMisuseAndStaysFailed) {
    const std::vector<uint8_t> records = lineRecords(300, 30);
    const LazLayout fixed = layoutOf(6, 30, 100);
    const LazLayout variable = layoutOf(6, 30, 0);
    LazLayout pointwise;
    pointwise.compressor = 2;
    pointwise.items = {{LazItemType::Point10, 20, 2}};
    pointwise.recordLength = 20;
    const std::vector<uint8_t> otherCount = LazChunkEncoder(variable).encode(records.data(), 5);
    using Steps = bool (*)(LazFileWriter&, const uint8_t*, const std::vector<uint8_t>&);
    struct Case {
        const char* what;
        const LazLayout* layout;
        Steps steps; // returns the result of the call that must fail
    };
    const Case cases[] = {
        {"a chunk above the fixed size", &fixed,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {}) && w.writeChunk(r, 101);
         }},
        {"a short chunk before the last", &fixed,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {}) && w.writeChunk(r, 50) && w.writeChunk(r, 100);
         }},
        {"a chunk of no points", &variable,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {}) && w.writeChunk(r, 0);
         }},
        {"a chunk whose own count differs", &variable,
         [](LazFileWriter& w, const uint8_t*, const std::vector<uint8_t>& chunk) {
             return w.begin({}, {}) && w.writeEncodedChunk(chunk.data(), chunk.size(), 6);
         }},
        {"a chunk cut short", &variable,
         [](LazFileWriter& w, const uint8_t*, const std::vector<uint8_t>& chunk) {
             return w.begin({}, {}) && w.writeEncodedChunk(chunk.data(), chunk.size() - 1, 5);
         }},
        {"a chunk before begin", &variable,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.writeChunk(r, 10);
         }},
        {"an EVLR before the table", &variable,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {}) && w.writeChunk(r, 10) && w.writeEvlr(LasVlr());
         }},
        {"a chunk after the table", &variable,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {}) && w.endChunks() && w.writeChunk(r, 10);
         }},
        {"final VLRs of another size", &variable,
         [](LazFileWriter& w, const uint8_t* r, const std::vector<uint8_t>&) {
             return w.begin({}, {vlr("a", 1, 10, 0)}) && w.writeChunk(r, 10) &&
                    w.finish({}, {vlr("a", 1, 11, 0)});
         }},
        {"a VLR too long", &variable,
         [](LazFileWriter& w, const uint8_t*, const std::vector<uint8_t>&) {
             return w.begin({}, {vlr("a", 1, 65536, 0)});
         }},
        {"a layout it cannot encode", &pointwise,
         [](LazFileWriter& w, const uint8_t*, const std::vector<uint8_t>&) {
             return w.begin({}, {});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file;
        size_t writes = 0;
        LazFileWriter writer(*c.layout, [&](uint64_t offset, const uint8_t* bytes, size_t size) {
            ++writes;
            return lazMemorySink(file)(offset, bytes, size);
        });
        EXPECT_FALSE(c.steps(writer, records.data(), otherCount));
        EXPECT_TRUE(writer.failed());
        const size_t before = writes;
        EXPECT_FALSE(writer.writeChunk(records.data(), 1));
        EXPECT_FALSE(writer.finish({}, {}));
        EXPECT_EQ(writes, before);
    }
}

// A sink that fails (a full disk) fails the call that wrote and every later one.
TEST(LazFileWriter, SinkFailureIsReportedAndStopsTheWriter) {
    const std::vector<uint8_t> records = lineRecords(300, 30);
    size_t writes = 0;
    LazFileWriter writer(layoutOf(6, 30, 0), [&](uint64_t, const uint8_t*, size_t) {
        return ++writes <= 3; // the header and VLRs, the table offset, one chunk
    });
    ASSERT_TRUE(writer.begin({}, {}));
    EXPECT_TRUE(writer.writeChunk(records.data(), 100));
    EXPECT_FALSE(writer.writeChunk(records.data() + 100 * 30, 100));
    EXPECT_FALSE(writer.finish({}, {}));
    EXPECT_EQ(writes, 4u);
}

// Through a real file: the rewrites at the end land where they belong.
TEST(LazFileWriter, FileSinkWritesWhatTheMemorySinkHolds) {
    const std::vector<uint8_t> records = lineRecords(1500, 38);
    const std::vector<uint8_t> inMemory = compress(records, 8, 38, 600);
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(
        writeLazFile(layoutOf(8, 38, 600), someHeader(), {}, records.data(), 1500, lazFileSink(f)));
    std::vector<uint8_t> onDisk(inMemory.size() + 1);
    std::rewind(f);
    onDisk.resize(std::fread(onDisk.data(), 1, onDisk.size(), f));
    std::fclose(f);
    EXPECT_TRUE(sameBytes(onDisk, inMemory));
}

// --- real files ---

namespace {

uint64_t chunkBytes(const DecodedFile& d) {
    uint64_t total = 0;
    for (const LazChunk& c : d.result.chunks.chunks)
        total += c.bytes;
    return total;
}

// From the first chunk to the end of the chunk table, which ends the file or its point area.
std::vector<uint8_t> chunksAndTable(const std::vector<uint8_t>& file) {
    const uint64_t pointData = loadLittle<uint32_t>(file.data() + 96);
    uint64_t end = file.size();
    if (loadLittle<uint32_t>(file.data() + 243) != 0)
        end = loadLittle<uint64_t>(file.data() + 235);
    return std::vector<uint8_t>(file.begin() + pointData + 8, file.begin() + end);
}

// An uncompressed LAS 1.4 file's records through the writer and back; the compressed size is
// printed for the record.
std::vector<uint8_t> expectRoundTrip(const std::vector<uint8_t>& las, uint32_t chunkSize,
                                     const char* name) {
    EXPECT_GE(las.size(), 375u) << name;
    if (las.size() < 375)
        return las;
    const int format = las[104] & 0x3F;
    const uint32_t length = loadLittle<uint16_t>(las.data() + 105);
    const std::vector<uint8_t> records = twinRecords(las);
    const std::vector<uint8_t> file = compress(records, format, length, chunkSize);
    const DecodedFile d = decodeBytes(file);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.result.message(), "");
    EXPECT_TRUE(sameBytes(d.records, records));
    std::printf("%s: %zu records of %u bytes compress to %llu bytes of chunks (%.1f%%)\n", name,
                records.size() / length, length, static_cast<unsigned long long>(chunkBytes(d)),
                100.0 * double(chunkBytes(d)) / double(records.size()));
    return file;
}

} // namespace

// The uncompressed twin of a real compressed file, written in chunks of the same size, gives
// that file's chunks and chunk table byte for byte: the encoder makes every decision the
// other encoder made.
TEST(LazEncoderOnRealFiles, Format8TestFileCompressesToTheRealFilesChunks) {
    const std::vector<uint8_t> file = expectRoundTrip(
        readBytes(testDataPath("loadersgl_pdrf8-1.4.las")), 256, "loadersgl_pdrf8-1.4");
    EXPECT_TRUE(sameBytes(chunksAndTable(file),
                          chunksAndTable(readBytes(testDataPath("loadersgl_pdrf8-1.4.laz")))));
}

// A real scan of format 6 (in the repository), and one of format 7 beside it.
TEST(LazEncoderOnRealFiles, Las14ScansCompressBackToTheirRecords) {
    expectRoundTrip(
        readBytes(std::string(POINTILLIST_TEST_DATA_DIR) + "/formats/laspy_test1_4.las"),
        kLazDefaultChunkSize, "laspy_test1_4");
    const std::string formats = POINTILLIST_FORMATS_DATA_DIR;
    const std::vector<uint8_t> las =
        formats.empty() ? std::vector<uint8_t>() : readBytes(formats + "/laspy_simple1_4.las");
    if (las.empty())
        GTEST_SKIP() << "no shared laspy_simple1_4.las (a clone without ../shared)";
    expectRoundTrip(las, 10000, "laspy_simple1_4");
}

// Octree files, node by node: each chunk's points decoded and encoded again as a chunk of the
// same count give the original chunk, and the chunks together the original table.
TEST(LazEncoderOnRealFiles, CopcFilesReencodeToTheirOwnChunks) {
    const std::string dir = POINTILLIST_COPC_DATA_DIR;
    DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
    if (!d)
        GTEST_SKIP() << "no shared copc folder (a clone without ../shared)";
    int checked = 0;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 9 || name.compare(name.size() - 9, 9, ".copc.laz") != 0)
            continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = readBytes(dir + "/" + name);
        const DecodedFile original = decodeBytes(bytes);
        ASSERT_EQ(original.error, "");
        ASSERT_EQ(original.result.message(), "");
        const LazLayout& layout = original.info.layout;
        std::vector<uint8_t> file;
        LazFileWriter writer(layout, lazMemorySink(file));
        ASSERT_TRUE(writer.begin(someHeader(), {}));
        for (const LazChunk& c : original.result.chunks.chunks) {
            LazChunk place;
            ASSERT_TRUE(
                writer.writeChunk(original.records.data() + c.firstPoint * layout.recordLength,
                                  uint32_t(c.points), &place));
            ASSERT_EQ(place.bytes, c.bytes);
            EXPECT_EQ(std::memcmp(file.data() + place.offset, bytes.data() + c.offset, c.bytes), 0)
                << "chunk at " << c.offset;
        }
        ASSERT_TRUE(writer.finish(someHeader(), {}));
        EXPECT_TRUE(sameBytes(chunksAndTable(file), chunksAndTable(bytes)));
        const DecodedFile again = decodeBytes(file);
        EXPECT_TRUE(sameBytes(again.records, original.records));
        ++checked;
    }
    closedir(d);
    EXPECT_GT(checked, 0);
}
