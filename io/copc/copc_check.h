// io/copc/copc_check.h - an octree file checked whole against what a writer of one must get
// right, for the writer's tests and the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CopcCheckResult {
    std::vector<std::string> problems; // one line each, the first few by name
    uint64_t points = 0;               // in nodes that decoded
    size_t nodes = 0;                  // nodes with points
    size_t pages = 0;
    int depth = -1;

    bool passed() const { return problems.empty(); }
};

// Checks the whole file [data, data + size):
//  - the header: LAS 1.4 with the info record first (else nothing more is checked), the WKT
//    bit, the legacy count 0, variable-sized chunks, a spacing above 0, reserved words 0;
//  - the index: every page read without damage, every node reachable from the root through
//    its parent's entry, the counts summing to the header's;
//  - the chunk table: it lists exactly the nodes' chunks (offset, length, count) in file order,
//    so a plain read of the file gets each node's points once;
//  - every node decoded (every field) to its count, each point within its node's cube up to
//    half the scale (the rounding of the stored integers); the header's box exactly the
//    points', its counts by return theirs, their GPS times within the info record's range;
//  - the file decoded whole as plain LAZ through its chunk table giving the same records, each
//    at the same place (compared by a hash of every record and its place).
// Nodes decode on up to `threads` threads.
CopcCheckResult checkCopcFile(const uint8_t* data, size_t size, int threads);
