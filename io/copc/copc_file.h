// io/copc/copc_file.h - a LAZ 1.4 file laid out as an octree of chunks: its header, the info
// record's cube, the compression record, and the index read as the tree is walked.
#pragma once

#include "io/byte_source.h"
#include "io/copc/copc_hierarchy.h"
#include "io/copc/copc_key.h"
#include "io/las/las_layout.h"
#include "io/laz/laz_layout.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The bytes that tell an octree file from a plain LAZ file: the header and the info record.
constexpr size_t kCopcHeadBytes = 589;

// Whether the first bytes are those of an octree file: "LASF", version 1.4, a compressed point
// format, and the info record ("copc", record 1) first, right after the 375-byte header.
bool hasCopcSignature(const unsigned char* head, size_t size);

// The info record: the root cube and where the index starts.
struct CopcInfo {
    double centre[3] = {};
    double halfSize = 0.0; // from the centre to each face of the root cube
    double spacing = 0.0;  // the root's nominal distance between points; halves at each level
    uint64_t rootPageOffset = 0, rootPageSize = 0;
    double gpsTimeMin = 0.0, gpsTimeMax = 0.0;
};

// A node's cube in file coordinates.
struct CopcCube {
    double low[3] = {}, high[3] = {};
};

// One open octree file. Everything but the index is fixed once open returns, so nodes can be
// decoded on several threads at once (each with its own CopcNodeDecoder); the index reads its
// pages under its own lock.
class CopcFile {
public:
    // Reads the header, the info record, the compression record and the root page through
    // source. Null with a one-line reason (without the file's name) when the file is not an
    // octree file this program reads: not LAZ 1.4 with the info record first, a point format
    // other than 6, 7 or 8, a compression record other than layered chunks of the format's
    // items, or a root page that cannot be used.
    static std::unique_ptr<CopcFile> open(std::unique_ptr<ByteSource> source, std::string& error);
    CopcFile(const CopcFile&) = delete;
    CopcFile& operator=(const CopcFile&) = delete;

    ByteSource& source() const { return *source_; }
    // The header: point format, record length, scale, offset, box, point count.
    const LasLayout& las() const { return las_; }
    const LazLayout& laz() const { return laz_; }
    const CopcInfo& info() const { return info_; }
    CopcHierarchy& hierarchy() const { return *hierarchy_; }

    // Node key's cube: the root cube split key.level times.
    CopcCube cube(const CopcKey& key) const;
    // The nominal distance between points at this level.
    double spacing(int level) const;

    // Whether the colours are 16-bit (true) or 8-bit values in the 16-bit fields. Decided once,
    // from the shallowest node with points that decodes (the root, in files written as
    // usual): the root samples the whole cloud, and a decision per node would colour
    // neighbouring nodes differently. False for point format 6, which has no colour.
    bool wideColour() const;
    // Settles wideColour from the root's records when it is not settled yet, for a caller that
    // has just decoded the root: its chunk is not read a second time (a request, when remote).
    void decideColourFromRoot(const uint8_t* records, uint32_t points) const;

private:
    explicit CopcFile(std::unique_ptr<ByteSource> source);

    std::unique_ptr<ByteSource> source_;
    LasLayout las_;
    LazLayout laz_;
    CopcInfo info_;
    std::unique_ptr<CopcHierarchy> hierarchy_;
    mutable std::once_flag colourDecided_;
    mutable bool wideColour_ = false;
};
