// tests/io/e57/e57_decoding_test.cpp - the E57 decoder on files written here for the edges no
// real file reaches: poses, spherical scans, invalid states, odd field widths split between
// packets, colour limits, several scans, damaged pages.
#include "io/e57/crc32c.h"
#include "io/e57/e57_decoder.h"
#include "io/e57/field_reader.h"
#include "tests/io/e57/e57_test_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

struct Point {
    double x, y, z;
    int rgb[3];
    float grey;
};

struct Collect : E57PointSink {
    std::vector<Point> points;
    void addPoint(const double xyz[3], const uint8_t* rgb, float grey) override {
        Point p{xyz[0], xyz[1], xyz[2], {-1, -1, -1}, grey};
        if (rgb)
            p.rgb[0] = rgb[0], p.rgb[1] = rgb[1], p.rgb[2] = rgb[2];
        points.push_back(p);
    }
};

E57Decoded decode(const std::vector<uint8_t>& bytes, Collect& sink) {
    return decodeE57(bytes.data(), bytes.size(), sink);
}

TestField singleField(const char* name, const std::vector<float>& values) {
    return {std::string("<") + name + " type=\"Float\" precision=\"single\"/>", singles(values)};
}

TestField integerField(const char* name, int64_t minimum, int64_t maximum, unsigned bits,
                       const std::vector<int64_t>& values) {
    std::vector<uint64_t> packed;
    for (int64_t v : values)
        packed.push_back(uint64_t(v) - uint64_t(minimum));
    return {std::string("<") + name + " type=\"Integer\" minimum=\"" + std::to_string(minimum) +
                "\" maximum=\"" + std::to_string(maximum) + "\"/>",
            packBits(packed, bits)};
}

// x, y, z as single floats: the common part of most scans below.
TestScan cartesianScan(const std::vector<float>& x, const std::vector<float>& y,
                       const std::vector<float>& z) {
    TestScan scan;
    scan.recordCount = x.size();
    scan.fields = {singleField("cartesianX", x), singleField("cartesianY", y),
                   singleField("cartesianZ", z)};
    return scan;
}

} // namespace

TEST(E57Checksum, MatchesTheCheckValueAndABitwiseCrc) {
    EXPECT_EQ(crc32c(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xE3069283u);
    // The eight-table loop against one bit at a time, for every length around its step.
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(64);
    for (uint8_t& b : bytes)
        b = uint8_t(random());
    for (size_t n = 0; n <= bytes.size(); ++n) {
        uint32_t c = 0xFFFFFFFFu;
        for (size_t i = 0; i < n; ++i) {
            c ^= bytes[i];
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        }
        EXPECT_EQ(crc32c(bytes.data() + 0, n), ~c) << n << " bytes";
    }
}

TEST(E57BitPacking, EveryWidthReadsBackAtEveryBitPosition) {
    std::mt19937_64 random(3);
    for (unsigned bits : {1u, 3u, 8u, 10u, 31u, 32u, 57u, 63u, 64u}) {
        std::vector<uint64_t> values(37);
        for (uint64_t& v : values)
            v = bits == 64 ? random() : random() & ((uint64_t(1) << bits) - 1);
        std::vector<uint8_t> stream = packBits(values, bits);
        const size_t size = stream.size();
        stream.resize(size + 16, 0);
        FieldCodec codec;
        codec.type = FieldCodec::Integer;
        codec.minimum = bits == 64 ? INT64_MIN : -5;
        codec.bits = bits;
        const FieldReader reader(codec, stream.data(), size);
        ASSERT_EQ(reader.available(), size * 8 / bits) << bits << " bits";
        for (size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(reader.packed(i), values[i]) << bits << " bits, value " << i;
    }
}

TEST(E57Scans, PoseRotatesThenTranslates) {
    TestScan scan = cartesianScan({1, 0}, {0, 2}, {0, 0});
    scan.extraXml = "<pose type=\"Structure\"><rotation type=\"Structure\">"
                    "<w type=\"Float\">0.70710678118654752</w><x type=\"Float\">0</x>"
                    "<y type=\"Float\">0</y><z type=\"Float\">0.70710678118654752</z></rotation>"
                    "<translation type=\"Structure\"><x type=\"Float\">10</x>"
                    "<y type=\"Integer\">20</y><z type=\"ScaledInteger\" scale=\"0.5\">6</z>"
                    "</translation></pose>";
    Collect sink;
    const E57Decoded d = decode(writeE57({scan}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    ASSERT_EQ(sink.points.size(), 2u);
    EXPECT_NEAR(sink.points[0].x, 10, 1e-12);
    EXPECT_NEAR(sink.points[0].y, 21, 1e-12);
    EXPECT_NEAR(sink.points[0].z, 3, 1e-12);
    EXPECT_NEAR(sink.points[1].x, 8, 1e-12);
    EXPECT_NEAR(sink.points[1].y, 20, 1e-12);
}

TEST(E57Scans, SphericalCoordinatesAndInvalidStatesAreDropped) {
    // Records 2 and 3 carry states 1 (direction only) and 2 (nothing): both go.
    const double half = M_PI / 2;
    TestScan scan;
    scan.recordCount = 5;
    scan.fields = {{"<sphericalRange type=\"Float\"/>", doubles({2, 3, 1, 1, 4})},
                   {"<sphericalAzimuth type=\"Float\"/>", doubles({half, 0, 0, 0, M_PI})},
                   {"<sphericalElevation type=\"Float\"/>", doubles({0, half, 0, 0, 0})},
                   integerField("sphericalInvalidState", 0, 2, 2, {0, 0, 1, 2, 0})};
    Collect sink;
    const E57Decoded d = decode(writeE57({scan}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_EQ(d.invalid, 2u);
    ASSERT_EQ(sink.points.size(), 3u);
    const double want[3][3] = {{0, 2, 0}, {0, 0, 3}, {-4, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(sink.points[i].x, want[i][0], 1e-12) << i;
        EXPECT_NEAR(sink.points[i].y, want[i][1], 1e-12) << i;
        EXPECT_NEAR(sink.points[i].z, want[i][2], 1e-12) << i;
    }
}

TEST(E57Scans, FieldWidthsFromZeroTo64BitsAcrossUnevenPackets) {
    // x: a 10-bit scaled integer whose chunks end mid-value (3 bytes = 2.4 values), with an
    // empty packet between; y: a default-range Integer (64 bits); z: minimum == maximum, no
    // bytes at all.
    const std::vector<int64_t> raw = {-500, 500, 0, 123, -77, 499, -1};
    std::vector<uint64_t> packed;
    for (int64_t v : raw)
        packed.push_back(uint64_t(v + 500));
    TestScan scan;
    scan.recordCount = raw.size();
    scan.fields = {{"<cartesianX type=\"ScaledInteger\" minimum=\"-500\" maximum=\"500\" "
                    "scale=\"0.01\" offset=\"100\"/>",
                    packBits(packed, 10)},
                   {"<cartesianY type=\"Integer\"/>", {}},
                   {"<cartesianZ type=\"Integer\" minimum=\"42\" maximum=\"42\"/>", {}}};
    std::vector<uint64_t> wide;
    for (int64_t v : raw)
        wide.push_back(uint64_t(v * 1000000000000LL) - uint64_t(INT64_MIN));
    scan.fields[1].stream = packBits(wide, 64);
    scan.packets = {{3, 8, 0}, {1, 17, 0}, {}};
    scan.emptyBefore = {1};
    Collect sink;
    const E57Decoded d = decode(writeE57({scan}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    ASSERT_EQ(sink.points.size(), raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        EXPECT_NEAR(sink.points[i].x, raw[i] * 0.01 + 100, 1e-9) << i;
        EXPECT_EQ(sink.points[i].y, double(raw[i] * 1000000000000LL)) << i;
        EXPECT_EQ(sink.points[i].z, 42) << i;
    }
}

TEST(E57Scans, ColourFromLimitsOrThePrototypeRange) {
    // 16-bit colour without colorLimits: the prototype's 0..65535 range, so /257 with rounding
    // (32767 -> 127.498 -> 127, 32768 -> 127.502 -> 128). Blue has colorLimits 100..200 that
    // win over its prototype range; isColorInvalid takes the colour off record 2.
    TestScan scan = cartesianScan({0, 1, 2}, {0, 0, 0}, {0, 0, 0});
    scan.fields.push_back(integerField("colorRed", 0, 65535, 16, {32767, 32768, 65535}));
    scan.fields.push_back(integerField("colorGreen", 0, 65535, 16, {0, 257, 1}));
    scan.fields.push_back(integerField("colorBlue", 0, 255, 8, {150, 200, 250}));
    scan.fields.push_back(integerField("isColorInvalid", 0, 1, 1, {0, 0, 1}));
    scan.extraXml = "<colorLimits type=\"Structure\">"
                    "<colorBlueMinimum type=\"Integer\">100</colorBlueMinimum>"
                    "<colorBlueMaximum type=\"Integer\">200</colorBlueMaximum></colorLimits>";
    Collect sink;
    const E57Decoded d = decode(writeE57({scan}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    ASSERT_EQ(sink.points.size(), 3u);
    EXPECT_EQ(sink.points[0].rgb[0], 127);
    EXPECT_EQ(sink.points[0].rgb[1], 0);
    EXPECT_EQ(sink.points[0].rgb[2], 128); // (150 - 100) / 100 * 255 = 127.5, half up
    EXPECT_EQ(sink.points[1].rgb[0], 128);
    EXPECT_EQ(sink.points[1].rgb[1], 1);
    EXPECT_EQ(sink.points[1].rgb[2], 255);
    EXPECT_EQ(sink.points[2].rgb[0], -1);
    EXPECT_TRUE(d.anyColour);
}

TEST(E57Scans, SeveralScansMergeWithTheirOwnPosesAndFields) {
    // Scan 0: intensity with limits (one marked invalid), no colour. Scan 1: no coordinates,
    // skipped with a message. Scan 2: translated, coloured, no intensity. Scan 3: empty.
    TestScan first = cartesianScan({1, 2, 3}, {0, 0, 0}, {0, 0, 0});
    first.fields.push_back(integerField("intensity", 0, 4095, 12, {1000, 3000, 1500}));
    first.fields.push_back(integerField("isIntensityInvalid", 0, 1, 1, {0, 0, 1}));
    first.extraXml = "<intensityLimits type=\"Structure\">"
                     "<intensityMinimum type=\"Integer\">1000</intensityMinimum>"
                     "<intensityMaximum type=\"Integer\">2000</intensityMaximum>"
                     "</intensityLimits>";
    TestScan broken;
    broken.recordCount = 1;
    broken.fields = {singleField("cartesianX", {1}), singleField("cartesianY", {1})};
    broken.extraXml = "<name type=\"String\"><![CDATA[half]]></name>";
    TestScan third = cartesianScan({5}, {5}, {5});
    for (const char* name : {"colorRed", "colorGreen", "colorBlue"})
        third.fields.push_back(integerField(name, 0, 255, 8, {200}));
    third.extraXml = "<pose type=\"Structure\"><translation type=\"Structure\">"
                     "<z type=\"Float\">-5</z></translation></pose>";
    TestScan empty = cartesianScan({}, {}, {});
    Collect sink;
    const E57Decoded d = decode(writeE57({first, broken, third, empty}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_EQ(d.scans, 4u);
    EXPECT_EQ(d.recordCount, 5u);
    EXPECT_EQ(d.message, "scan 1 (half) skipped: no cartesian or spherical coordinates");
    ASSERT_EQ(sink.points.size(), 4u);
    EXPECT_FLOAT_EQ(sink.points[0].grey, 0.0f);
    EXPECT_FLOAT_EQ(sink.points[1].grey, 1.0f); // 3000 clamps to the limit
    EXPECT_LT(sink.points[2].grey, 0);          // marked invalid
    EXPECT_EQ(sink.points[3].z, 0);
    EXPECT_EQ(sink.points[3].rgb[1], 200);
    EXPECT_LT(sink.points[3].grey, 0);
}

TEST(E57Damage, BadPageKeepsTheRecordsBeforeIt) {
    // 2000 records, 100 per packet; one flipped bit in the middle of the section.
    std::vector<float> x(2000), y(2000), z(2000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = float(i), y[i] = float(i) * 2, z[i] = -float(i);
    TestScan scan = cartesianScan(x, y, z);
    scan.packets.assign(20, {400, 400, 400});
    TestFile file = writeE57({scan});
    const uint64_t flipped = file.dataPackets[11].first + 100;
    file.bytes[size_t(physicalOf(flipped))] ^= 0x10;
    const uint64_t badPage = flipped / 1020;
    size_t whole = 0;
    while (file.dataPackets[whole].second <= badPage * 1020)
        ++whole;

    Collect sink;
    const E57Decoded d = decode(file.bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_TRUE(d.checksumFailed);
    EXPECT_EQ(d.message, "scan 0: page " + std::to_string(badPage) + " fails its checksum, read " +
                             std::to_string(whole * 100) + " of 2000 records");
    ASSERT_EQ(sink.points.size(), whole * 100);
    EXPECT_EQ(sink.points.back().y, double(whole * 100 - 1) * 2);
}

TEST(E57Damage, RefusedFilesSayWhy) {
    // Big enough for the XML to start on a later page than the header.
    const std::vector<float> many(300, 1.0f);
    const TestFile good = writeE57({cartesianScan(many, many, many)});
    struct Case {
        const char* what;
        void (*edit)(std::vector<uint8_t>&, const TestFile&);
        const char* message;
    };
    const Case cases[] = {
        {"signature", [](std::vector<uint8_t>& b, const TestFile&) { b[3] = 'X'; },
         "no E57 signature"},
        {"version",
         [](std::vector<uint8_t>& b, const TestFile&) {
             b[8] = 2;
             resealPages(b);
         },
         "E57 version 2 is not supported"},
        {"header checksum", [](std::vector<uint8_t>& b, const TestFile&) { b[20] ^= 1; },
         "the first page fails its checksum"},
        {"xml checksum",
         [](std::vector<uint8_t>& b, const TestFile& f) {
             b[size_t(physicalOf(f.xmlLogicalStart + 60))] ^= 4;
         },
         nullptr},
        {"cut short", [](std::vector<uint8_t>& b, const TestFile&) { b.resize(b.size() - 1024); },
         "file cut short: the XML section is missing"},
        {"malformed xml",
         [](std::vector<uint8_t>& b, const TestFile& f) {
             b[size_t(physicalOf(f.xmlLogicalStart + 40))] = '<';
             resealPages(b);
         },
         nullptr},
        {"short", [](std::vector<uint8_t>& b, const TestFile&) { b.resize(100); },
         "too short for an E57 file (100 bytes)"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good.bytes;
        c.edit(bytes, good);
        Collect sink;
        const E57Decoded d = decode(bytes, sink);
        EXPECT_FALSE(d.readable) << c.what;
        EXPECT_TRUE(sink.points.empty()) << c.what;
        if (c.message)
            EXPECT_EQ(d.message, c.message) << c.what;
        else
            EXPECT_FALSE(d.message.empty()) << c.what;
        EXPECT_EQ(d.message.find('\n'), std::string::npos) << c.what;
    }
}

TEST(E57Damage, ConstantFieldsCannotClaimEndlessRecords) {
    // Fields with minimum == maximum take no bytes, so only the section's size bounds the count.
    TestScan scan;
    scan.recordCount = 1000000000000000;
    scan.fields = {integerField("cartesianX", 1, 1, 0, {}), integerField("cartesianY", 2, 2, 0, {}),
                   integerField("cartesianZ", 3, 3, 0, {})};
    Collect sink;
    const E57Decoded d = decode(writeE57({scan}).bytes, sink);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_LE(sink.points.size(), 1000u);
    EXPECT_EQ(d.message, "scan 0: more records than its section holds, read " +
                             std::to_string(sink.points.size()) + " of 1000000000000000 records");
}

TEST(E57Damage, ScansSharingOneSectionDecodeItOnce) {
    // A second scan pointing at the first one's section would make the same bytes count twice
    // (and thousands of such scans would decode them thousands of times).
    TestFile file = writeE57({cartesianScan({1, 2}, {3, 4}, {5, 6})});
    std::string bytes(file.bytes.begin(), file.bytes.end());
    const size_t xml = size_t(physicalOf(file.xmlLogicalStart));
    const size_t open = bytes.find("<vectorChild", xml), close = bytes.find("</data3D>", xml);
    ASSERT_LT(close, bytes.size());
    // The XML sits on one page in this small file, so it can be edited in place and resealed.
    const std::string scan = bytes.substr(open, close - open);
    std::vector<uint8_t> edited(file.bytes.begin(), file.bytes.begin() + long(open));
    const std::string twice = scan + scan + bytes.substr(close, bytes.find('\n', close) - close);
    edited.insert(edited.end(), twice.begin(), twice.end());
    const uint64_t xmlLength = edited.size() - xml;
    edited.resize(((edited.size() + 1019) / 1020) * 1024, 0);
    ASSERT_EQ(edited.size(), 1024u);
    for (int i = 0; i < 8; ++i)
        edited[size_t(32 + i)] = uint8_t(xmlLength >> (8 * i));
    resealPages(edited);

    Collect sink;
    const E57Decoded d = decode(edited, sink);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_EQ(sink.points.size(), 2u);
    EXPECT_EQ(d.message, "scan 1: section overlaps another scan's, read 0 of 2 records");
}
