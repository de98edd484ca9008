// tests/io/laz/laz_version4_test.cpp - version-4 items, which no real file here has: the format-8
// test file turned into a format-7 one whose colour layer is re-encoded by version 4's
// context rule (the item follows the point's own channel on every point).
#include "io/laz/arithmetic_encoder.h"
#include "io/laz/laz_writer.h"
#include "tests/io/laz/laz_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

uint32_t clamp255(int32_t v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : uint32_t(v);
}

uint16_t u16At(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// The encoder's side of the colour step: which bytes changed, then each changed byte as its
// difference from the prediction the decoder will make.
struct RgbModels {
    SymbolModel used;
    SymbolModel bytes[6];
    RgbModels() {
        used.init(128);
        for (SymbolModel& m : bytes)
            m.init(256);
    }
};

void encodeRgb(ArithmeticEncoder& enc, RgbModels& m, uint16_t* last, const uint16_t* now) {
    const int32_t lo[3] = {last[0] & 255, last[1] & 255, last[2] & 255};
    const int32_t hi[3] = {last[0] >> 8, last[1] >> 8, last[2] >> 8};
    const int32_t nlo[3] = {now[0] & 255, now[1] & 255, now[2] & 255};
    const int32_t nhi[3] = {now[0] >> 8, now[1] >> 8, now[2] >> 8};
    const bool grey = now[0] == now[1] && now[0] == now[2];
    const uint32_t u = (nlo[0] != lo[0]) | (nhi[0] != hi[0]) << 1 | (nlo[1] != lo[1]) << 2 |
                       (nhi[1] != hi[1]) << 3 | (nlo[2] != lo[2]) << 4 | (nhi[2] != hi[2]) << 5 |
                       (grey ? 0 : 64);
    enc.symbol(m.used, u);
    if (u & 1)
        enc.symbol(m.bytes[0], uint32_t(nlo[0] - lo[0]) & 255);
    if (u & 2)
        enc.symbol(m.bytes[1], uint32_t(nhi[0] - hi[0]) & 255);
    if (u & 64) {
        const int32_t dl = nlo[0] - lo[0];
        if (u & 4)
            enc.symbol(m.bytes[2], uint32_t(nlo[1] - int32_t(clamp255(dl + lo[1]))) & 255);
        if (u & 16)
            enc.symbol(m.bytes[4],
                       uint32_t(nlo[2] - int32_t(clamp255((dl + nlo[1] - lo[1]) / 2 + lo[2]))) &
                           255);
        const int32_t dh = nhi[0] - hi[0];
        if (u & 8)
            enc.symbol(m.bytes[3], uint32_t(nhi[1] - int32_t(clamp255(dh + hi[1]))) & 255);
        if (u & 32)
            enc.symbol(m.bytes[5],
                       uint32_t(nhi[2] - int32_t(clamp255((dh + nhi[1] - hi[1]) / 2 + hi[2]))) &
                           255);
    }
    std::memcpy(last, now, 6);
}

// One chunk's colour layer, each point in the context of its own channel; a context seen for
// the first time starts from the colour of the context it follows.
std::vector<uint8_t> colourLayer(const std::vector<uint8_t>& twin, size_t first, size_t count) {
    const auto channel = [&](size_t i) { return (twin[i * 42 + 15] >> 4) & 3; };
    const auto colour = [&](size_t i, uint16_t* rgb) {
        for (int c = 0; c < 3; ++c)
            rgb[c] = u16At(&twin[i * 42 + 30 + 2 * c]);
    };
    RgbModels models[4];
    uint16_t last[4][3] = {};
    bool used[4] = {};
    size_t current = channel(first);
    used[current] = true;
    colour(first, last[current]);
    ArithmeticEncoder enc;
    for (size_t i = first + 1; i < first + count; ++i) {
        const size_t c = channel(i);
        if (c != current) {
            if (!used[c]) {
                used[c] = true;
                std::memcpy(last[c], last[current], sizeof last[c]);
            }
            current = c;
        }
        uint16_t now[3];
        colour(i, now);
        encodeRgb(enc, models[c], last[c], now);
    }
    enc.done();
    return enc.bytes();
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The format-7 file: the POINT14 layers of the format-8 file as they are, new colour layers.
std::vector<uint8_t> makeVersion4File(const std::vector<uint8_t>& laz,
                                      const std::vector<uint8_t>& twin) {
    const LazParts parts = splitLazFile(laz);
    const size_t payload = lazPayloadOffset(parts.prefix);
    std::vector<uint8_t> prefix(parts.prefix.begin(), parts.prefix.begin() + payload);
    std::vector<uint8_t> record(parts.prefix.begin() + payload,
                                parts.prefix.begin() + payload + 34 + 12);
    putU16(record, 32, 2);
    putU16(record, 34 + 4, 4);
    putU16(record, 40, 11); // RGB14
    putU16(record, 42, 6);
    putU16(record, 44, 4);
    const uint16_t oldLength = u16At(&parts.prefix[payload - 54 + 20]);
    putU16(prefix, payload - 54 + 20, uint16_t(record.size()));
    prefix.insert(prefix.end(), record.begin(), record.end());
    prefix.insert(prefix.end(), parts.prefix.begin() + payload + oldLength, parts.prefix.end());
    prefix[104] = 0x80 | 7;
    putU16(prefix, 105, 36);

    std::vector<LazChunkBytes> chunks;
    size_t first = 0;
    for (size_t c = 0; c < parts.chunks.size(); ++c) {
        const std::vector<uint8_t>& old = parts.chunks[c];
        const uint32_t points = parts.points[c];
        std::vector<uint8_t> chunk(old.begin(), old.begin() + 36);
        chunk.insert(chunk.end(), old.begin() + 42, old.begin() + 46); // the point count
        size_t point14Bytes = 0;
        for (int l = 0; l < 9; ++l)
            point14Bytes += u32At(old, 46 + 4 * l);
        const std::vector<uint8_t> rgb = colourLayer(twin, first, points);
        chunk.insert(chunk.end(), old.begin() + 46, old.begin() + 46 + 36); // POINT14 counts
        chunk.resize(chunk.size() + 4);
        putU32(chunk, chunk.size() - 4, uint32_t(rgb.size()));
        const size_t layers = 46 + 4 * 15;
        chunk.insert(chunk.end(), old.begin() + layers, old.begin() + layers + point14Bytes);
        chunk.insert(chunk.end(), rgb.begin(), rgb.end());
        chunks.push_back({chunk, points});
        first += points;
    }
    return assembleLazFile(prefix, first, chunks, false, LazTableMode::Table);
}

} // namespace

TEST(LazVersion4, ColoursFollowEachPointsOwnChannel) {
    const std::vector<uint8_t> twin =
        twinRecords(readBytes(testDataPath("loadersgl_pdrf8-1.4.las")));
    const std::vector<uint8_t> file =
        makeVersion4File(readBytes(testDataPath("loadersgl_pdrf8-1.4.laz")), twin);

    for (LazFields fields : {LazFields::All, LazFields::Viewer}) {
        const DecodedFile d = decodeBytes(file, fields);
        ASSERT_EQ(d.error, "");
        ASSERT_EQ(d.info.pointFormat, 7);
        ASSERT_EQ(d.result.decoded, 1024u);
        for (size_t i = 0; i < 1024; ++i) {
            ASSERT_EQ(std::memcmp(&d.records[i * 36], &twin[i * 42], 14), 0) << i;
            ASSERT_EQ(std::memcmp(&d.records[i * 36 + 30], &twin[i * 42 + 30], 6), 0) << i;
        }
    }

    // Read by version 3's rule the same bytes give other colours: the rule is what is tested.
    std::vector<uint8_t> asVersion3 = file;
    const size_t payload = lazPayloadOffset(asVersion3);
    putU16(asVersion3, payload + 34 + 4, 3);
    putU16(asVersion3, payload + 40 + 4, 3);
    const DecodedFile d = decodeBytes(asVersion3);
    size_t differ = 0;
    for (size_t i = 0; i < 1024; ++i)
        differ += std::memcmp(&d.records[i * 36 + 30], &twin[i * 42 + 30], 6) != 0;
    EXPECT_GT(differ, 500u);
}
