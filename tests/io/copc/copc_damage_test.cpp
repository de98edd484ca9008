// tests/io/copc/copc_damage_test.cpp - damaged copies of the sample files: each damaged entry,
// page or chunk loses only its own nodes, with one line saying what; files that are no usable
// octree are refused with their reason and read whole as plain LAZ; cut or scribbled copies
// never crash.
#include "io/copc/copc_file.h"
#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_reader.h"
#include "io/las/laz_reader.h"
#include "tests/io/copc/copc_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const char* kPaged = "laspy_simple_with_page.copc.laz";
constexpr uint64_t kChildPage = 33556; // 2-0-0-0's page, 160 bytes, the file's last bytes

// What a damaged copy still gives: the index's nodes and their damage, the nodes that decode
// and their damage, and the loader's whole read.
struct Outcome {
    std::string openError;
    size_t nodes = 0;
    uint64_t decoded = 0;
    std::vector<std::string> damage;
    int64_t wholeCount = -1;
    std::string wholeMessage;
};

Outcome readDamaged(const std::vector<uint8_t>& bytes) {
    Outcome outcome;
    const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, outcome.openError);
    if (file) {
        file->hierarchy().loadAll();
        outcome.damage = file->hierarchy().takeDamage();
        CopcNodeDecoder decoder(*file, LazFields::Viewer);
        for (const CopcNode& node : file->hierarchy().nodes()) {
            if (node.points == 0)
                continue;
            ++outcome.nodes;
            std::string error;
            if (decoder.decodeRecords(node, error))
                outcome.decoded += node.points;
            else
                outcome.damage.push_back(error);
        }
    }
    ReadResult whole = readWhole(readCopc, bytes);
    if (whole.status == ReadStatus::Read)
        outcome.wholeCount = whole.count;
    outcome.wholeMessage = whole.message;
    releasePoints(whole.points);
    return outcome;
}

size_t rootEntry(const std::vector<uint8_t>& file, const CopcKey& key) {
    return findEntry(file, rootPageOffset(file), rootPageSize(file), key);
}

} // namespace

// One damage per row, each losing the points named: entries pointing outside the file or
// disagreeing with their chunk, chunks whose layers are wrong, pages cut short or looping.
TEST(CopcDamage, EachDamageLosesOnlyItsOwnNodesWithOneLine) {
    struct Row {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
        size_t nodes;     // nodes with points left in the index
        uint64_t decoded; // their points that decode
        const char* line;
    };
    const Row rows[] = {
        {"node past the end",
         [](std::vector<uint8_t>& f) {
             setEntry(f, rootEntry(f, {3, 5, 7, 0}), f.size() - 100, 390, 14);
         },
         64, 1051, "node 3-5-7-0 (390 bytes at 33616) lies outside the file (33716 bytes)"},
        {"node far outside",
         [](std::vector<uint8_t>& f) {
             setEntry(f, rootEntry(f, {3, 5, 7, 0}), uint64_t(-16), 390, 14);
         },
         64, 1051, "node 3-5-7-0 (390 bytes at 18446744073709551600) lies outside the file"},
        {"count too large",
         [](std::vector<uint8_t>& f) {
             setEntry(f, rootEntry(f, {1, 0, 0, 0}), 29518, 530, 20);
         },
         65, 1046, "node 1-0-0-0 holds 19 points, its entry says 20"},
        {"byte size too large",
         [](std::vector<uint8_t>& f) {
             setEntry(f, rootEntry(f, {1, 0, 0, 0}), 29518, 531, 19);
         },
         65, 1046, "node 1-0-0-0 ends after 530 bytes, its entry says 531"},
        {"layer counts moved",
         // 1-0-0-0's XY layer said 100 bytes shorter, its Z layer 100 longer: the same total.
         [](std::vector<uint8_t>& f) {
             uint32_t xy, z;
             const size_t counts = 29518 + 36 + 4;
             std::memcpy(&xy, &f[counts], 4);
             std::memcpy(&z, &f[counts + 4], 4);
             xy -= 100, z += 100;
             std::memcpy(&f[counts], &xy, 4);
             std::memcpy(&f[counts + 4], &z, 4);
         },
         65, 1046, "node 1-0-0-0 is corrupt"},
        {"child page cut short", [](std::vector<uint8_t>& f) { f.resize(f.size() - 16); }, 60, 986,
         "hierarchy page 2-0-0-0 (160 bytes at 33556) reaches past the end of the file "
         "(33700 bytes)"},
        {"child page not whole entries",
         [](std::vector<uint8_t>& f) {
             setEntry(f, rootEntry(f, {2, 0, 0, 0}), kChildPage, 150, -1);
         },
         60, 986,
         "hierarchy page 2-0-0-0 (150 bytes at 33556) is not a whole number of 32-byte "
         "entries"},
        {"page pointing back at the root page",
         [](std::vector<uint8_t>& f) {
             setEntry(f, findEntry(f, kChildPage, 160, {3, 1, 1, 0}), rootPageOffset(f),
                      int32_t(rootPageSize(f)), -1);
         },
         64, 1047,
         "hierarchy page 3-1-1-0 (1952 bytes at 31604) is reached twice (a loop of pages)"},
        {"page pointing at itself",
         [](std::vector<uint8_t>& f) {
             setEntry(f, findEntry(f, kChildPage, 160, {3, 1, 1, 0}), kChildPage, 160, -1);
         },
         64, 1047,
         "hierarchy page 3-1-1-0 (160 bytes at 33556) is reached twice (a loop of pages)"},
        {"entry for no node",
         [](std::vector<uint8_t>& f) {
             const size_t at = rootEntry(f, {3, 5, 7, 0});
             const int32_t x = 8;
             std::memcpy(&f[at + 4], &x, 4);
         },
         64, 1051,
         "hierarchy page 0-0-0-0 has an entry for 3-8-7-0, which is no node of the octree"},
        {"key twice",
         [](std::vector<uint8_t>& f) {
             const size_t at = findEntry(f, kChildPage, 160, {3, 1, 1, 0});
             const int32_t y = 0;
             std::memcpy(&f[at + 8], &y, 4); // now a second 3-1-0-0
         },
         64, 1047, "node 3-1-0-0 appears twice in the hierarchy"},
    };
    const std::vector<uint8_t> original = copcTestFile(kPaged);
    ASSERT_EQ(original.size(), 33716u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> bytes = original;
        row.damage(bytes);
        const Outcome outcome = readDamaged(bytes);
        ASSERT_EQ(outcome.openError, "");
        EXPECT_EQ(outcome.nodes, row.nodes);
        EXPECT_EQ(outcome.decoded, row.decoded);
        ASSERT_EQ(outcome.damage.size(), 1u);
        EXPECT_EQ(outcome.damage[0].rfind(row.line, 0), 0u) << outcome.damage[0];
        EXPECT_EQ(outcome.wholeCount, int64_t(row.decoded));
        EXPECT_EQ(outcome.wholeMessage, outcome.damage[0]);
    }
}

// Several damages at once: one line each in the whole read's message, in the order found.
TEST(CopcDamage, SeveralDamagesSayOneLineEach) {
    std::vector<uint8_t> bytes = copcTestFile(kPaged);
    setEntry(bytes, rootEntry(bytes, {3, 5, 7, 0}), bytes.size(), 390, 14);
    setEntry(bytes, rootEntry(bytes, {1, 0, 0, 0}), 29518, 530, 20);
    bytes.resize(bytes.size() - 1);
    const Outcome outcome = readDamaged(bytes);
    ASSERT_EQ(outcome.damage.size(), 3u);
    EXPECT_EQ(outcome.decoded, 1065u - 14 - 19 - 79);
    EXPECT_EQ(outcome.wholeMessage,
              outcome.damage[0] + "; " + outcome.damage[1] + "; " + outcome.damage[2]);
}

// Files that are no usable octree: refused with the reason; the loader reads them as plain LAZ.
TEST(CopcDamage, UnusableOctreeIsRefusedAndReadAsPlainLaz) {
    struct Row {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
        const char* reason;
    };
    const Row rows[] = {
        {"root page past the end",
         [](std::vector<uint8_t>& f) { storeLittle(&f[469], uint64_t(f.size())); },
         "hierarchy page 0-0-0-0 (1952 bytes at 33716) reaches past the end of the file"},
        {"root page empty", [](std::vector<uint8_t>& f) { storeLittle(&f[477], uint64_t(0)); },
         "hierarchy page 0-0-0-0 (0 bytes at 31604) is not a whole number"},
        {"no cube", [](std::vector<uint8_t>& f) { storeLittle(&f[453], -1.0); },
         "its info record has no usable root cube"},
        {"pointwise compressor",
         [](std::vector<uint8_t>& f) {
             // The compression record follows the info record in the sample files.
             storeLittle(&f[589 + 54], uint16_t(2));
         },
         "POINT14 items do not fit compressor 2"},
        {"point format 1", [](std::vector<uint8_t>& f) { f[104] = 0x81; },
         "point format 1 is not one an octree file may have (6, 7 or 8)"},
    };
    const std::vector<uint8_t> original = copcTestFile(kPaged);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> bytes = original;
        row.damage(bytes);
        std::string error;
        EXPECT_FALSE(openCopcBytes(bytes, error));
        EXPECT_EQ(error.rfind(row.reason, 0), 0u) << error;
        ReadResult octree = readWhole(readCopc, bytes);
        ReadResult plain = readWhole(readLaz, bytes);
        EXPECT_EQ(octree.status, plain.status);
        EXPECT_EQ(octree.count, plain.count);
        EXPECT_EQ(octree.message, plain.message);
        releasePoints(octree.points);
        releasePoints(plain.points);
    }
    std::string error;
    const std::vector<uint8_t> plainLaz = [] {
        std::vector<uint8_t> f = copcTestFile(kPaged);
        std::memcpy(&f[377], "copd", 4);
        return f;
    }();
    EXPECT_FALSE(hasCopcSignature(plainLaz.data(), plainLaz.size()));
    EXPECT_FALSE(openCopcBytes(plainLaz, error));
    EXPECT_TRUE(hasCopcSignature(original.data(), 589));
    EXPECT_FALSE(hasCopcSignature(original.data(), 588));
}

// Every cut of the file, and bytes scribbled over its index and its chunks, end in refusals,
// lost nodes or good ones: never a crash or a read outside the bytes (the sanitizer build
// checks that), and never more points than the header declares.
TEST(CopcDamage, CutsAndScribblesNeverCrash) {
    const std::vector<uint8_t> original = copcTestFile(kPaged);
    for (size_t cut = 0; cut < original.size(); cut += cut < 700 ? 7 : 251) {
        const Outcome outcome =
            readDamaged(std::vector<uint8_t>(original.begin(), original.begin() + cut));
        EXPECT_LE(outcome.decoded, 1065u) << cut;
    }
    std::minstd_rand random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes = original;
        // Half the time in the index, else anywhere after the header.
        const size_t from = round % 2 ? 31604 : 375;
        for (int n = 0; n < 8; ++n)
            bytes[from + random() % (bytes.size() - from)] = uint8_t(random());
        const Outcome outcome = readDamaged(bytes);
        EXPECT_LE(outcome.wholeCount, int64_t(4096) * int64_t(bytes.size())) << round;
    }
}
