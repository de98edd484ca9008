// io/copc/copc_writer.h - an octree LAZ file written node by node: the info record first, each
// node's chunk as it comes, the index in pages at the end.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/copc_key.h"
#include "io/laz/las14_header.h"
#include "io/laz/laz_file_writer.h"
#include "io/laz/laz_layout.h"

#include <cstdint>
#include <set>
#include <vector>

// A node's entry in the index: where its chunk is, its length and its point count (0 for a node
// that only leads to others).
struct CopcEntry {
    CopcKey key;
    uint64_t offset = 0;
    int32_t bytes = 0;
    int32_t points = 0;
};

// How the index is split into pages, so that a reader of a large tree loads only the parts it
// walks into.
struct CopcPaging {
    // An index of at most this many entries is one page.
    size_t onePage = 4096;
    // Otherwise a page holds `levels` levels of its subtree, and each node one level further
    // down starts a page of its own, named in the page above by a pointer entry, unless its
    // subtree has at most `fewest` nodes: those stay in the page above.
    int levels = 4;
    size_t fewest = 64;
};

// The index's pages for these nodes, in any order, stored from payloadOffset on: the root page
// first, then the others top-down. A node's ancestors without an entry get one of no points, so
// that a walk from the root reaches every node; no nodes give a root of no points. rootSize is
// the root page's length. Empty for an invalid key or a key given twice.
std::vector<uint8_t> encodeCopcPages(const std::vector<CopcEntry>& nodes, uint64_t payloadOffset,
                                     const CopcPaging& paging, uint64_t& rootSize);

// The info record: user id "copc", record 1, its 160 bytes.
LasVlr copcInfoVlr(const CopcInfo& info);

// Writes one octree file of point format 6, 7 or 8 (records of the format's own length):
//
//   begin(header, info)       the header, the info record and the compression record
//   writeNode(...) ...        each node's chunk, compressed by an encoder of layout()
//   finish(header, info)      the chunk table, the index, and the header and records again
//
// Header fields as LazFileWriter takes them (it sets the structural ones and the point count);
// the info's root page is the writer's to fill in. A call out of order, a node it refuses (no
// points, a key already written, a chunk that is not a chunk of its count) or a failed write
// fails the writer, as LazFileWriter's calls do.
class CopcWriter {
public:
    CopcWriter(int pointFormat, LazByteSink sink, const CopcPaging& paging = CopcPaging());

    bool begin(const Las14Header& header, const CopcInfo& info);
    bool writeNode(const CopcKey& key, const uint8_t* bytes, size_t size, uint32_t points);
    bool finish(const Las14Header& header, const CopcInfo& info);

    // Whether the point format is one the writer writes.
    bool valid() const { return valid_; }
    const LazLayout& layout() const { return layout_; }
    size_t nodes() const { return entries_.size(); }
    // The file's length so far (all of it after finish).
    uint64_t bytes() const { return file_.end(); }

private:
    static LazLayout layoutOf(int pointFormat, bool& valid);
    bool fail();

    bool valid_ = false;
    bool failed_ = false;
    LazLayout layout_;
    LazFileWriter file_;
    CopcPaging paging_;
    std::vector<CopcEntry> entries_;
    std::set<CopcKey> written_;
};
