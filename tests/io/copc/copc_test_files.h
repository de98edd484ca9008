// tests/io/copc/copc_test_files.h - the octree test files, their index entries found and
// changed in copies, whole reads of bytes in memory, and small octree files made here.
#pragma once

#include "io/byte_source.h"
#include "io/copc/copc_file.h"
#include "io/copc/copc_key.h"
#include "io/format_reader.h"

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

std::vector<uint8_t> copcTestFile(const std::string& name); // from tests/data/copc/
// The file over bytes in memory, which must outlive it.
std::unique_ptr<CopcFile> openCopcBytes(const std::vector<uint8_t>& bytes, std::string& error);

// Where the 32-byte entry for key lies in the page at [offset, offset + size); 0 when absent.
size_t findEntry(const std::vector<uint8_t>& file, uint64_t offset, uint64_t size,
                 const CopcKey& key);
// The root page's place, from the info record.
uint64_t rootPageOffset(const std::vector<uint8_t>& file);
uint64_t rootPageSize(const std::vector<uint8_t>& file);
// Rewrites the entry at `at`: its offset, byte size and point count.
void setEntry(std::vector<uint8_t>& file, size_t at, uint64_t offset, int32_t bytes,
              int32_t points);

// Bytes in memory behind a gate: while it is shut, reads that touch its range wait, as a slow
// server's would. Counts the reads, and those that touched the range.
class GatedSource : public ByteSource {
public:
    explicit GatedSource(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    const std::string& name() const override { return name_; }
    int64_t size() const override { return int64_t(bytes_.size()); }
    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override;
    void setShut(bool shut);
    // The bytes [begin, end) the gate holds back (all of them until this is called), and
    // rangeReads counts from here on.
    void setRange(int64_t begin, int64_t end);
    // Until n reads wait at once, or five seconds have passed; how many wait.
    int waitForWaiting(int n);
    int reads();
    int rangeReads();

private:
    const std::vector<uint8_t>& bytes_;
    const std::string name_ = "gated";
    std::mutex mutex_;
    std::condition_variable changed_;
    bool shut_ = false;
    int64_t begin_ = 0, end_ = std::numeric_limits<int64_t>::max();
    int waiting_ = 0, reads_ = 0, rangeReads_ = 0;
};

// A whole read of bytes in memory through a loader entry point (readCopc, readLaz).
ReadResult readWhole(ReadFunction read, const std::vector<uint8_t>& bytes, int threads = 2);
// The points of a read, sorted, for comparing reads that order them differently.
std::vector<PointRecord> sortedPoints(const ReadResult& result);
bool samePoint(const PointRecord& a, const PointRecord& b);

// --- Octree files made here ---

// A node of one point (a chunk of one point needs no encoder: its layers are all empty), or
// of none when empty is set.
struct MadeNode {
    CopcKey key;
    int32_t xyz[3] = {};
    uint16_t intensity = 0;
    uint16_t rgb[3] = {};
    bool empty = false;
};
// A page: entries for the nodes named, then pointers to the pages named. The page keyed
// 0-0-0-0 is the root page; pages are stored in the order given.
struct MadePage {
    CopcKey key;
    std::vector<CopcKey> nodes;
    std::vector<CopcKey> pages;
};
struct MadeOctree {
    int pointFormat = 7;
    double centre[3] = {50, 50, 50};
    double halfSize = 50;
    double spacing = 10;
    std::vector<MadeNode> nodes; // chunks in this order
    std::vector<MadePage> pages;
    // Other records before the compression record: a draft extents record and a WKT one.
    bool otherRecords = false;
};
// A file of point scale 0.01 and offset 0; its chunk table lets it read as plain LAZ too.
std::vector<uint8_t> makeOctreeFile(const MadeOctree& made);
// Every node down to depth, one point at its cube's centre, all in one page; colours by level.
MadeOctree fullOctree(int depth);
// The same with the subtree of node in a page of its own, after the root page.
MadeOctree pagedOctree(int depth, const CopcKey& node);
// Where the page the root page names for key lies: its offset and size; false when none does.
bool childPagePlace(const std::vector<uint8_t>& file, const CopcKey& key, uint64_t& offset,
                    uint64_t& size);
