// io/copc/copc_file.cpp - opening an octree file: the header and the records before the points,
// checked, then the root page of the index.
#include "io/copc/copc_file.h"

#include "io/byte_order.h"
#include "io/copc/copc_node_decoder.h"
#include "io/las/las_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <new>

namespace {

constexpr uint64_t kHeaderBytes = 375;
constexpr uint64_t kVlrHeaderBytes = 54;
constexpr uint64_t kInfoPayload = kHeaderBytes + kVlrHeaderBytes; // 429
// Enough for the header and the usual records in one read (one request when the file is
// remote); larger records cost a second read.
constexpr uint64_t kFirstRead = 16384;
// How many nodes the colour decision tries before it gives up on a damaged top of the tree.
constexpr int kColourTries = 64;

// The compression record's items must be those of the point format, extra bytes allowed last.
std::string checkItems(const LazLayout& laz, int pointFormat) {
    const LazItemType colour = pointFormat == 7   ? LazItemType::Rgb14
                               : pointFormat == 8 ? LazItemType::RgbNir14
                                                  : LazItemType::Byte14;
    size_t at = 1;
    if (pointFormat != 6) {
        if (laz.items.size() < 2 || laz.items[1].type != colour)
            return std::string("its compression record lacks the ") + lazItemName(colour) +
                   " item of point format " + std::to_string(pointFormat);
        at = 2;
    }
    for (; at < laz.items.size(); ++at)
        if (laz.items[at].type != LazItemType::Byte14 || at + 1 != laz.items.size())
            return std::string("its compression record lists a ") +
                   lazItemName(laz.items[at].type) + " item that point format " +
                   std::to_string(pointFormat) + " does not have";
    return std::string();
}

} // namespace

bool hasCopcSignature(const unsigned char* head, size_t size) {
    if (size < kCopcHeadBytes || std::memcmp(head, "LASF", 4) != 0 || head[24] != 1 ||
        head[25] != 4 || (head[104] & 0xC0) == 0)
        return false;
    static const char kUserId[16] = {'c', 'o', 'p', 'c'};
    return std::memcmp(head + kHeaderBytes + 2, kUserId, 16) == 0 &&
           loadLittle<uint16_t>(head + kHeaderBytes + 18) == 1;
}

CopcFile::CopcFile(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}

std::unique_ptr<CopcFile> CopcFile::open(std::unique_ptr<ByteSource> source, std::string& error) {
    if (!source) {
        error = "it cannot be opened";
        return nullptr;
    }
    const uint64_t fileSize = uint64_t(std::max<int64_t>(source->size(), 0));
    std::vector<uint8_t> head;
    if (fileSize < kCopcHeadBytes) {
        error = "it is too short (" + std::to_string(fileSize) + " bytes) for an octree file";
        return nullptr;
    }
    if (!source->read(0, int64_t(std::min(fileSize, kFirstRead)), head, error))
        return nullptr;
    if (!hasCopcSignature(head.data(), head.size())) {
        error = "it is not an octree file (no info record right after a LAS 1.4 header)";
        return nullptr;
    }
    std::unique_ptr<CopcFile> file(new (std::nothrow) CopcFile(std::move(source)));
    if (!file) {
        error = "out of memory";
        return nullptr;
    }
    LasLayout& las = file->las_;
    if (!parseLasHeader(head.data(), head.size(), las, error))
        return nullptr;
    const uint16_t headerSize = loadLittle<uint16_t>(head.data() + 94);
    if (headerSize != kHeaderBytes) {
        error = "its header is " + std::to_string(headerSize) + " bytes, not 375";
        return nullptr;
    }
    if (las.pointFormat < 6 || las.pointFormat > 8) {
        error = "point format " + std::to_string(las.pointFormat) +
                " is not one an octree file may have (6, 7 or 8)";
        return nullptr;
    }

    // The compression record is among the records between the header and the points; read
    // them all when the first read stopped short of the points.
    const uint32_t records = loadLittle<uint32_t>(head.data() + 100);
    const uint64_t recordsEnd = std::min(
        {las.dataOffset, fileSize, kHeaderBytes + uint64_t(records) * (kVlrHeaderBytes + 65535)});
    if (recordsEnd > head.size() && !file->source_->read(0, int64_t(recordsEnd), head, error))
        return nullptr;
    std::string found = "it has no compression record";
    uint64_t at = kHeaderBytes;
    for (uint32_t i = 0; i < records && at + kVlrHeaderBytes <= recordsEnd; ++i) {
        const uint16_t id = loadLittle<uint16_t>(head.data() + at + 18);
        const uint16_t length = loadLittle<uint16_t>(head.data() + at + 20);
        const uint64_t payload = at + kVlrHeaderBytes;
        if (payload + length > recordsEnd)
            break;
        if (id == kLazVlrRecordId &&
            std::strncmp(reinterpret_cast<const char*>(head.data() + at + 2), kLazVlrUserId, 16) ==
                0) {
            found = parseLazLayout(head.data() + payload, length, las.pointFormat, las.recordLength,
                                   file->laz_);
            break;
        }
        at = payload + length;
    }
    if (found.empty() && !file->laz_.layered())
        found = "its points are compressed one by one, not in layered chunks";
    if (found.empty())
        found = checkItems(file->laz_, las.pointFormat);
    if (!found.empty()) {
        error = found;
        return nullptr;
    }

    CopcInfo& info = file->info_;
    const uint8_t* p = head.data() + kInfoPayload;
    for (int axis = 0; axis < 3; ++axis)
        info.centre[axis] = loadLittle<double>(p + 8 * axis);
    info.halfSize = loadLittle<double>(p + 24);
    info.spacing = loadLittle<double>(p + 32);
    info.rootPageOffset = loadLittle<uint64_t>(p + 40);
    info.rootPageSize = loadLittle<uint64_t>(p + 48);
    info.gpsTimeMin = loadLittle<double>(p + 56);
    info.gpsTimeMax = loadLittle<double>(p + 64);
    if (!std::isfinite(info.centre[0]) || !std::isfinite(info.centre[1]) ||
        !std::isfinite(info.centre[2]) || !std::isfinite(info.halfSize) || !(info.halfSize > 0)) {
        error = "its info record has no usable root cube";
        return nullptr;
    }

    file->hierarchy_.reset(new (std::nothrow) CopcHierarchy(*file->source_));
    if (!file->hierarchy_) {
        error = "out of memory";
        return nullptr;
    }
    if (!file->hierarchy_->loadRoot(info.rootPageOffset, info.rootPageSize, error))
        return nullptr;
    return file;
}

CopcCube CopcFile::cube(const CopcKey& key) const {
    const double edge = 2.0 * info_.halfSize / std::ldexp(1.0, key.level);
    const int32_t place[3] = {key.x, key.y, key.z};
    CopcCube cube;
    for (int axis = 0; axis < 3; ++axis) {
        cube.low[axis] = info_.centre[axis] - info_.halfSize + place[axis] * edge;
        cube.high[axis] = cube.low[axis] + edge;
    }
    return cube;
}

double CopcFile::spacing(int level) const {
    return info_.spacing / std::ldexp(1.0, level);
}

bool CopcFile::wideColour() const {
    std::call_once(colourDecided_, [this] {
        if (las_.rgbOffset < 0)
            return;
        CopcNodeDecoder decoder(*this, LazFields::Viewer);
        std::string ignored; // whoever wants the node reports its damage
        std::deque<CopcKey> keys{CopcKey()};
        for (int tries = 0; !keys.empty() && tries < kColourTries;) {
            const CopcKey key = keys.front();
            keys.pop_front();
            CopcNode node;
            if (!hierarchy_->find(key, node))
                continue;
            if (node.points > 0) {
                ++tries;
                if (const uint8_t* records = decoder.decodeRecords(node, ignored)) {
                    wideColour_ =
                        lasColourIsWide(records, node.points, las_.recordLength, las_.rgbOffset);
                    return;
                }
            }
            if (key.level < kCopcDeepestLevel)
                for (int i = 0; i < 8; ++i)
                    keys.push_back(key.child(i));
        }
    });
    return wideColour_;
}

void CopcFile::decideColourFromRoot(const uint8_t* records, uint32_t points) const {
    std::call_once(colourDecided_, [&] {
        if (las_.rgbOffset >= 0)
            wideColour_ = lasColourIsWide(records, points, las_.recordLength, las_.rgbOffset);
    });
}
