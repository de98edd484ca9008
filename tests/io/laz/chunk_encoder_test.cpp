// tests/io/laz/chunk_encoder_test.cpp - chunks made by the encoder decode back to their records,
// byte for byte: random bytes in every field, simulated scans with every field varying, the
// edges of each value, single points, large chunks, and layers left empty when a field holds.
#include "io/laz/chunk_decoder.h"
#include "io/laz/chunk_encoder.h"
#include "io/laz/compression_record.h"

#include "io/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
    return loadLittle<uint32_t>(b.data() + at);
}

LazLayout layoutOf(int format, uint32_t extra, uint16_t version = 3) {
    const uint32_t standard = format == 6 ? 30 : format == 7 ? 36 : 38;
    LazLayout layout;
    EXPECT_TRUE(layeredLazLayout(format, standard + extra, 0, layout, version));
    return layout;
}

// Decodes the chunk with the fields given and names the first record and byte that differ.
::testing::AssertionResult decodesTo(const LazLayout& layout, const std::vector<uint8_t>& chunk,
                                     const std::vector<uint8_t>& records,
                                     LazFields fields = LazFields::All) {
    const uint32_t length = layout.recordLength;
    const uint64_t count = records.size() / length;
    ChunkDecoder decoder(layout, fields);
    if (!decoder.start(chunk.data(), chunk.data() + chunk.size(), count))
        return ::testing::AssertionFailure() << "the chunk's head is refused";
    std::vector<uint8_t> out(records.size());
    if (!decoder.read(out.data(), count))
        return ::testing::AssertionFailure() << "the decoder finds the chunk corrupt";
    if (decoder.consumed() != chunk.size())
        return ::testing::AssertionFailure()
               << "the layers end at " << decoder.consumed() << " of " << chunk.size();
    // A viewer's decode leaves the skipped fields (near infrared, extra bytes) at the first
    // point's values.
    std::vector<std::pair<uint32_t, uint32_t>> compared = {{0, length}};
    if (fields == LazFields::Viewer) {
        compared = {{0, 30}};
        if (layout.items.size() > 1 && layout.items[1].type != LazItemType::Byte14)
            compared.push_back({30, 6});
    }
    for (uint64_t i = 0; i < count; ++i)
        for (const auto& [from, size] : compared)
            for (uint32_t b = from; b < from + size; ++b)
                if (out[i * length + b] != records[i * length + b])
                    return ::testing::AssertionFailure()
                           << "record " << i << " byte " << b << ": " << int(out[i * length + b])
                           << " instead of " << int(records[i * length + b]);
    return ::testing::AssertionSuccess();
}

// A flight line as a scanner records it: pulses of 1 to 15 returns along a line, on one
// channel for stretches, times in steps with jumps and interleaved sequences, fields that
// change now and then, colours mostly smooth, some grey.
std::vector<uint8_t> scanRecords(uint32_t seed, uint32_t count, uint32_t length) {
    std::mt19937 random(seed);
    std::vector<uint8_t> records(size_t(count) * length);
    int32_t x = INT32_MAX - 5000, y = -1000000, z = 200;
    uint32_t channel = 0, returns = 1, next = 1, classification = 2, source = 7, user = 0;
    int16_t angle = -32768 + 50;
    double times[3] = {1.0e8, 1.0e8 + 3.5, 250.25};
    uint32_t sequence = 0;
    uint16_t rgb[4] = {1000, 1200, 1400, 60000};
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* p = &records[size_t(i) * length];
        if (next > returns) { // a new pulse
            next = 1;
            returns = random() % 10 == 0 ? 1 + random() % 15 : 1 + random() % 3;
            x = int32_t(uint32_t(x) + 40 + random() % 20); // wraps past INT32_MAX
            y += int32_t(random() % 9) - 4;
            times[sequence] += random() % 50 == 0 ? 1.0e6 : 1.0e-5; // a jump now and then
            if (random() % 100 == 0)
                sequence = random() % 3;
            if (random() % 40 == 0)
                channel = random() % 4;
            if (random() % 30 == 0)
                angle = int16_t(angle + int(random() % 200) - 100);
        }
        z += int32_t(random() % 101) - 50;
        if (random() % 25 == 0)
            classification = random() % 256;
        if (random() % 200 == 0)
            source = random() % 65536;
        if (random() % 15 == 0)
            user = random() % 256;
        storeLittle(p, x);
        storeLittle(p + 4, y);
        storeLittle(p + 8, z);
        const uint16_t intensity = i % 97 == 0 ? 65535 : i % 89 == 0 ? 0 : random() % 4000;
        storeLittle(p + 12, intensity);
        // A number of returns past 7 only LAS 1.4 holds, and return numbers past the count.
        p[14] = uint8_t((i % 211 == 0 ? 15 : next) | (returns << 4));
        p[15] = uint8_t((random() % 8 == 0 ? random() % 16 : 0) | (channel << 4) |
                        ((i / 300) % 2) << 6 | (next == returns ? 0x80 : 0));
        p[16] = uint8_t(classification);
        p[17] = uint8_t(user);
        storeLittle(p + 18, i % 500 == 0 ? int16_t(32767) : angle);
        storeLittle(p + 20, uint16_t(source));
        storeLittle(p + 22, times[sequence]);
        for (int c = 0; c < 4; ++c)
            if (random() % 3 == 0)
                rgb[c] = uint16_t(rgb[c] + int(random() % 512) - 256);
        uint16_t colour[4] = {rgb[0], rgb[1], rgb[2], rgb[3]};
        if (i % 7 == 0)
            colour[1] = colour[2] = colour[0];
        for (uint32_t b = 30; b + 1 < length && b < 38; b += 2)
            storeLittle(p + b, colour[(b - 30) / 2]);
        for (uint32_t b = 38; b < length; ++b) // extra bytes: a counter and noise
            p[b] = uint8_t(b == 38 ? i : random() % 4 == 0 ? random() : 0);
        ++next;
    }
    return records;
}

std::vector<uint8_t> randomRecords(uint32_t seed, uint32_t count, uint32_t length) {
    std::mt19937 random(seed);
    std::vector<uint8_t> records(size_t(count) * length);
    for (uint8_t& b : records)
        b = uint8_t(random());
    return records;
}

struct Variant {
    int format;
    uint32_t extra;
    uint16_t version;
};

const Variant kVariants[] = {{6, 0, 3}, {7, 0, 3}, {8, 0, 3}, {6, 3, 3},
                             {8, 4, 3}, {6, 0, 4}, {7, 2, 4}, {8, 0, 4}};

} // namespace

TEST(LazChunkEncoder, RandomBytesInEveryFieldRoundTrip) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE("format " + std::to_string(v.format) + " extra " + std::to_string(v.extra) +
                     " version " + std::to_string(v.version));
        const LazLayout layout = layoutOf(v.format, v.extra, v.version);
        LazChunkEncoder encoder(layout);
        ASSERT_TRUE(encoder.valid());
        // One encoder for every chunk: nothing of one chunk may leak into the next.
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            const std::vector<uint8_t> records = randomRecords(seed, 3000, layout.recordLength);
            const std::vector<uint8_t> chunk = encoder.encode(records.data(), 3000);
            ASSERT_TRUE(decodesTo(layout, chunk, records)) << "seed " << seed;
        }
    }
}

TEST(LazChunkEncoder, SimulatedScansRoundTripWithAllFieldsAndViewerFields) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE("format " + std::to_string(v.format) + " extra " + std::to_string(v.extra) +
                     " version " + std::to_string(v.version));
        const LazLayout layout = layoutOf(v.format, v.extra, v.version);
        LazChunkEncoder encoder(layout);
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            const std::vector<uint8_t> records = scanRecords(seed, 5000, layout.recordLength);
            const std::vector<uint8_t> chunk = encoder.encode(records.data(), 5000);
            ASSERT_TRUE(decodesTo(layout, chunk, records)) << "seed " << seed;
            ASSERT_TRUE(decodesTo(layout, chunk, records, LazFields::Viewer)) << "seed " << seed;
            // Structured points must compress: well under half their size.
            EXPECT_LT(chunk.size(), records.size() / 2);
        }
    }
}

// Times that jump by more than 32 bits' worth, come back to earlier sequences, repeat, and go
// backwards; bit patterns of every kind, NaN and negative ones included.
TEST(LazChunkEncoder, GpsTimesOfEveryKindRoundTrip) {
    const LazLayout layout = layoutOf(6, 0);
    std::mt19937 random(5);
    const double edges[] = {0.0, -0.0, 1e-300, -1e300, 5e8, 5e8 + 1e-6, 4e8, 1.0 / 0.0};
    for (int pattern = 0; pattern < 5; ++pattern) {
        std::vector<uint8_t> records = scanRecords(pattern + 10, 4000, 30);
        uint64_t bits = 0;
        for (uint32_t i = 0; i < 4000; ++i) {
            switch (pattern) {
                case 0: // regular steps with a doubled, skipped, negative or huge step
                    bits += i % 37 == 0 ? 3000 : i % 41 == 0 ? 0 : i % 43 == 0 ? -1000 : 1000;
                    if (i % 500 == 0)
                        bits += uint64_t(1) << 40;
                    break;
                case 1: // four interleaved sequences far apart, and a fifth now and then
                    bits =
                        (uint64_t(i % 4) << 50) + i * 100 + (i % 97 == 0 ? uint64_t(1) << 60 : 0);
                    break;
                case 2: // the edges
                    std::memcpy(&bits, &edges[random() % 8], 8);
                    break;
                case 3: // any bits at all
                    bits = (uint64_t(random()) << 32) | random();
                    break;
                default: // steps of every size class, up to just inside 32 bits and past it
                    bits += uint64_t(int64_t(int32_t(random()) >> (random() % 32)));
                    if (i % 300 == 0)
                        bits += uint64_t(INT32_MAX) + 1;
                    break;
            }
            storeLittle(&records[size_t(i) * 30 + 22], bits);
        }
        LazChunkEncoder encoder(layout);
        ASSERT_TRUE(decodesTo(layout, encoder.encode(records.data(), 4000), records))
            << "pattern " << pattern;
    }
}

// Values at both ends of their ranges, and deltas that wrap in 32 and 16 bits.
TEST(LazChunkEncoder, ExtremeValuesRoundTrip) {
    const LazLayout layout = layoutOf(8, 1);
    const uint32_t length = layout.recordLength;
    std::vector<uint8_t> records(64 * length);
    for (uint32_t i = 0; i < 64; ++i) {
        uint8_t* p = &records[i * length];
        const bool high = (i / 2) % 2 == 0;
        storeLittle(p, high ? INT32_MAX : INT32_MIN);
        storeLittle(p + 4, i % 3 == 0 ? INT32_MIN : INT32_MAX);
        storeLittle(p + 8, int32_t(i % 5 == 0 ? INT32_MIN : i % 5 == 1 ? INT32_MAX : 0));
        storeLittle(p + 12, uint16_t(high ? 65535 : 0));
        p[14] = uint8_t(i % 2 ? 0xFF : 0x00); // return 15 of 15, return 0 of 0
        p[15] = uint8_t(i * 37);
        p[16] = uint8_t(high ? 255 : 0);
        p[17] = uint8_t(i % 4 == 0 ? 255 : 0);
        storeLittle(p + 18, int16_t(high ? 32767 : -32768));
        storeLittle(p + 20, uint16_t(high ? 65535 : 0));
        storeLittle(p + 22, uint64_t(high ? ~uint64_t(0) : 0));
        for (int c = 0; c < 4; ++c)
            storeLittle(p + 30 + 2 * c, uint16_t(high != (c % 2 == 0) ? 65535 : 0));
        p[38] = uint8_t(high ? 255 : 0);
    }
    LazChunkEncoder encoder(layout);
    EXPECT_TRUE(decodesTo(layout, encoder.encode(records.data(), 64), records));
}

// A field that holds over the chunk costs nothing: its layer is empty, and the decoder gives
// the first point's value throughout. The XY layer is always there, a single point's too.
TEST(LazChunkEncoder, FieldsThatHoldLeaveTheirLayersEmpty) {
    const LazLayout layout = layoutOf(8, 2);
    const uint32_t length = layout.recordLength; // 40: 9 + 2 + 2 layers
    const size_t counts = length + 4;
    std::vector<uint8_t> records = scanRecords(3, 1000, length);
    for (uint32_t i = 1; i < 1000; ++i) {
        uint8_t* p = &records[i * length];
        std::memcpy(p + 8, &records[8], 4);                     // z
        p[15] = uint8_t((p[15] & 0x30) | (records[15] & 0xCF)); // flags; channels still change
        p[16] = records[16];
        std::memcpy(p + 20, &records[20], 10); // source and time
        std::memcpy(p + 36, &records[36], 2);  // NIR
        p[38] = records[38];
    }
    const std::vector<uint8_t> chunk = LazChunkEncoder(layout).encode(records.data(), 1000);
    ASSERT_TRUE(decodesTo(layout, chunk, records));
    const int empty[] = {kLayerZ, kLayerClass, kLayerFlags, kLayerSource, kLayerGps, 10, 11};
    const int full[] = {kLayerXY, kLayerIntensity, kLayerAngle, kLayerUser, 9, 12};
    for (int layer : empty)
        EXPECT_EQ(u32At(chunk, counts + 4 * layer), 0u) << "layer " << layer;
    for (int layer : full)
        EXPECT_GT(u32At(chunk, counts + 4 * layer), 0u) << "layer " << layer;

    // A point alone: its raw record, its count, and an XY layer with nothing in it.
    const std::vector<uint8_t> one = LazChunkEncoder(layout).encode(records.data() + length, 1);
    ASSERT_TRUE(decodesTo(
        layout, one, std::vector<uint8_t>(records.begin() + length, records.begin() + 2 * length)));
    EXPECT_EQ(u32At(one, length), 1u);
    EXPECT_EQ(u32At(one, counts), 4u);
    EXPECT_EQ(one.size(), counts + 4 * 13 + 4);
}

// Whichever single bit of a record changes, alone, the change is kept: no layer is taken for
// one that holds when a part of it varies.
TEST(LazChunkEncoder, AChangeInAnyOneBitIsKept) {
    for (const Variant& v : {Variant{8, 2, 3}, Variant{7, 1, 4}}) {
        const LazLayout layout = layoutOf(v.format, v.extra, v.version);
        const uint32_t length = layout.recordLength;
        const std::vector<uint8_t> base = scanRecords(4, 1, length);
        LazChunkEncoder encoder(layout);
        for (uint32_t bit = 0; bit < 8 * length; ++bit) {
            std::vector<uint8_t> records;
            for (uint32_t i = 0; i < 20; ++i) {
                records.insert(records.end(), base.begin(), base.end());
                if (i % 3 == 1)
                    records[i * length + bit / 8] ^= uint8_t(1u << (bit % 8));
            }
            ASSERT_TRUE(decodesTo(layout, encoder.encode(records.data(), 20), records))
                << "format " << v.format << " byte " << bit / 8 << " bit " << bit % 8;
        }
    }
}

TEST(LazChunkEncoder, LargeChunkRoundTrips) {
    const LazLayout layout = layoutOf(7, 0);
    const std::vector<uint8_t> records = scanRecords(9, 50000, layout.recordLength);
    const std::vector<uint8_t> chunk = LazChunkEncoder(layout).encode(records.data(), 50000);
    EXPECT_TRUE(decodesTo(layout, chunk, records));
}

// No points make no chunk; layouts of other formats, versions or item orders are not encoded.
TEST(LazChunkEncoder, RefusesEmptyChunksAndLayoutsItCannotWrite) {
    const LazLayout layout = layoutOf(7, 0);
    const std::vector<uint8_t> records = scanRecords(1, 10, 36);
    LazChunkEncoder encoder(layout);
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(encoder.encode(records.data(), 0, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(encoder.encode(records.data(), 0).empty());

    LazLayout pointwise;
    pointwise.compressor = 2;
    pointwise.items = {{LazItemType::Point10, 20, 2}};
    pointwise.recordLength = 20;
    LazLayout version2 = layout;
    version2.items[1].version = 2;
    LazLayout bytesFirst;
    ASSERT_TRUE(layeredLazLayout(7, 40, 0, bytesFirst));
    std::swap(bytesFirst.items[1], bytesFirst.items[2]);
    LazLayout wrongLength = layout;
    wrongLength.recordLength = 38;
    for (const LazLayout& bad : {pointwise, version2, bytesFirst, wrongLength}) {
        LazChunkEncoder refusing(bad);
        EXPECT_FALSE(refusing.valid());
        EXPECT_TRUE(refusing.encode(records.data(), 10).empty());
    }

    LazLayout unused;
    EXPECT_FALSE(layeredLazLayout(5, 63, 0, unused));
    EXPECT_FALSE(layeredLazLayout(9, 59, 0, unused));
    EXPECT_FALSE(layeredLazLayout(7, 35, 0, unused));
    EXPECT_FALSE(layeredLazLayout(6, 30, 0, unused, 2));
}
