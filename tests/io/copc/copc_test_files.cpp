// tests/io/copc/copc_test_files.cpp - helpers shared by the octree tests.
#include "tests/io/copc/copc_test_files.h"

#include "io/byte_order.h"
#include "io/byte_source.h"
#include "io/laz/laz_writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

std::vector<uint8_t> copcTestFile(const std::string& name) {
    std::ifstream in(std::string(POINTILLIST_TEST_DATA_DIR) + "/copc/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<CopcFile> openCopcBytes(const std::vector<uint8_t>& bytes, std::string& error) {
    return CopcFile::open(viewBytes("test.copc.laz", bytes.data(), bytes.size()), error);
}

size_t findEntry(const std::vector<uint8_t>& file, uint64_t offset, uint64_t size,
                 const CopcKey& key) {
    for (uint64_t at = offset; at + 32 <= offset + size && at + 32 <= file.size(); at += 32) {
        const CopcKey here{loadLittle<int32_t>(&file[at]), loadLittle<int32_t>(&file[at + 4]),
                           loadLittle<int32_t>(&file[at + 8]), loadLittle<int32_t>(&file[at + 12])};
        if (here == key)
            return size_t(at);
    }
    return 0;
}

uint64_t rootPageOffset(const std::vector<uint8_t>& file) {
    return loadLittle<uint64_t>(&file[469]);
}

uint64_t rootPageSize(const std::vector<uint8_t>& file) {
    return loadLittle<uint64_t>(&file[477]);
}

void setEntry(std::vector<uint8_t>& file, size_t at, uint64_t offset, int32_t bytes,
              int32_t points) {
    storeLittle(&file[at + 16], offset);
    storeLittle(&file[at + 24], bytes);
    storeLittle(&file[at + 28], points);
}

ReadResult readWhole(ReadFunction read, const std::vector<uint8_t>& bytes, int threads) {
    ReadRequest request;
    request.path = "test.copc.laz";
    request.bytes = bytes.data();
    request.size = bytes.size();
    request.threads = threads;
    return read(request);
}

bool samePoint(const PointRecord& a, const PointRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<PointRecord> sortedPoints(const ReadResult& result) {
    std::vector<PointRecord> points(result.points, result.points + result.count);
    std::sort(points.begin(), points.end(), [](const PointRecord& a, const PointRecord& b) {
        return std::tie(a.x, a.y, a.z, a.r, a.g, a.b) < std::tie(b.x, b.y, b.z, b.r, b.g, b.b);
    });
    return points;
}

// --- Octree files made here ---

namespace {

template <typename T> void append(std::vector<uint8_t>& out, T value) {
    out.resize(out.size() + sizeof value);
    storeLittle(&out[out.size() - sizeof value], value);
}

void appendText(std::vector<uint8_t>& out, const char* text, size_t width) {
    const size_t at = out.size();
    out.resize(at + width, 0);
    std::memcpy(&out[at], text, std::min(width, std::strlen(text)));
}

void appendRecordHeader(std::vector<uint8_t>& out, const char* user, uint16_t id, uint16_t length) {
    append(out, uint16_t(0));
    appendText(out, user, 16);
    append(out, id);
    append(out, length);
    appendText(out, "", 32);
}

} // namespace

std::vector<uint8_t> makeOctreeFile(const MadeOctree& made) {
    const int format = made.pointFormat;
    const uint16_t recordLength = format == 6 ? 30 : format == 7 ? 36 : 38;

    std::vector<uint8_t> out(375, 0);
    std::memcpy(&out[0], "LASF", 4);
    out[24] = 1;
    out[25] = 4;
    storeLittle(&out[94], uint16_t(375));
    out[104] = uint8_t(format | 0x80);
    storeLittle(&out[105], recordLength);
    double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
    uint64_t count = 0;
    for (const MadeNode& node : made.nodes) {
        if (node.empty)
            continue;
        ++count;
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], node.xyz[axis] * 0.01);
            high[axis] = std::max(high[axis], node.xyz[axis] * 0.01);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        storeLittle(&out[131 + 8 * axis], 0.01);
        storeLittle(&out[155 + 8 * axis], 0.0);
        storeLittle(&out[179 + 16 * axis], high[axis]);
        storeLittle(&out[187 + 16 * axis], low[axis]);
    }

    // The info record first; its root page is filled in once the pages are placed.
    uint32_t records = 2;
    appendRecordHeader(out, "copc", 1, 160);
    for (double v : {made.centre[0], made.centre[1], made.centre[2], made.halfSize, made.spacing})
        append(out, v);
    out.resize(out.size() + 160 - 40, 0);
    if (made.otherRecords) {
        records += 2;
        appendRecordHeader(out, "copc", 10000, 24);
        out.resize(out.size() + 24, 0xEE);
        appendRecordHeader(out, "LASF_Projection", 2112, 8);
        appendText(out, "GEOGCS[", 8);
    }
    const uint16_t items = format == 6 ? 1 : 2;
    appendRecordHeader(out, "laszip encoded", 22204, uint16_t(34 + 6 * items));
    append(out, uint16_t(3));          // layered chunks
    append(out, uint16_t(0));          // arithmetic coder
    append(out, uint32_t(3));          // encoder version, informational
    append(out, uint32_t(0));          // options
    append(out, uint32_t(0xFFFFFFFF)); // variable chunks
    append(out, int64_t(-1));
    append(out, int64_t(-1));
    append(out, items);
    for (uint16_t v : {uint16_t(10), uint16_t(30), uint16_t(3)})
        append(out, v);
    if (format == 7)
        for (uint16_t v : {uint16_t(11), uint16_t(6), uint16_t(3)})
            append(out, v);
    if (format == 8)
        for (uint16_t v : {uint16_t(12), uint16_t(8), uint16_t(3)})
            append(out, v);
    storeLittle(&out[100], records);

    // One chunk per node with a point: the raw point, a count of 1 and every layer empty.
    std::vector<LazChunkBytes> chunks;
    std::map<CopcKey, std::pair<uint64_t, uint32_t>> chunkAt;
    uint64_t at = out.size() + 8;
    const size_t layers = format == 6 ? 9 : format == 7 ? 10 : 11;
    for (const MadeNode& node : made.nodes) {
        if (node.empty)
            continue;
        LazChunkBytes chunk;
        chunk.points = 1;
        std::vector<uint8_t>& b = chunk.bytes;
        for (int32_t v : node.xyz)
            append(b, v);
        append(b, node.intensity);
        append(b, uint8_t(0x11)); // return 1 of 1
        b.resize(30, 0);
        if (format != 6)
            for (uint16_t v : node.rgb)
                append(b, v);
        if (format == 8)
            append(b, uint16_t(0));
        append(b, uint32_t(1));
        for (size_t i = 0; i < layers; ++i)
            append(b, uint32_t(0));
        chunkAt[node.key] = {at, uint32_t(b.size())};
        at += b.size();
        chunks.push_back(chunk);
    }
    out = assembleLazFile(out, count, chunks, true, LazTableMode::Table);

    // The index as one record after the chunk table, its pages in the order given.
    const uint64_t evlr = out.size();
    storeLittle(&out[235], evlr);
    storeLittle(&out[243], uint32_t(1));
    uint64_t pagesSize = 0;
    std::map<CopcKey, std::pair<uint64_t, uint64_t>> pageAt;
    for (const MadePage& page : made.pages) {
        const uint64_t size = 32 * (page.nodes.size() + page.pages.size());
        pageAt[page.key] = {evlr + 60 + pagesSize, size};
        pagesSize += size;
    }
    append(out, uint16_t(0));
    appendText(out, "copc", 16);
    append(out, uint16_t(1000));
    append(out, pagesSize);
    appendText(out, "", 32);
    auto entry = [&](const CopcKey& key, uint64_t offset, int32_t bytes, int32_t points) {
        for (int32_t v : {key.level, key.x, key.y, key.z})
            append(out, v);
        append(out, offset);
        append(out, bytes);
        append(out, points);
    };
    for (const MadePage& page : made.pages) {
        for (const CopcKey& key : page.nodes) {
            const auto chunk = chunkAt.find(key);
            if (chunk == chunkAt.end())
                entry(key, 0, 0, 0);
            else
                entry(key, chunk->second.first, int32_t(chunk->second.second), 1);
        }
        for (const CopcKey& key : page.pages)
            entry(key, pageAt[key].first, int32_t(pageAt[key].second), -1);
    }
    storeLittle(&out[469], pageAt[CopcKey()].first);
    storeLittle(&out[477], pageAt[CopcKey()].second);
    return out;
}

MadeOctree fullOctree(int depth) {
    MadeOctree made;
    MadePage page;
    for (int level = 0; level <= depth; ++level) {
        const int side = 1 << level;
        for (int x = 0; x < side; ++x)
            for (int y = 0; y < side; ++y)
                for (int z = 0; z < side; ++z) {
                    MadeNode node;
                    node.key = {level, x, y, z};
                    const int at[3] = {x, y, z};
                    for (int axis = 0; axis < 3; ++axis)
                        node.xyz[axis] = static_cast<int32_t>((at[axis] + 0.5) * 10000 / side);
                    node.rgb[0] = static_cast<uint16_t>(1000 * (level + 1));
                    node.rgb[1] = 40000;
                    made.nodes.push_back(node);
                    page.nodes.push_back(node.key);
                }
    }
    made.pages = {page};
    return made;
}

MadeOctree pagedOctree(int depth, const CopcKey& node) {
    MadeOctree made = fullOctree(depth);
    MadePage root{CopcKey(), {}, {node}}, below{node, {}, {}};
    for (const CopcKey& key : made.pages[0].nodes)
        (node.covers(key) ? below : root).nodes.push_back(key);
    made.pages = {root, below};
    return made;
}

bool childPagePlace(const std::vector<uint8_t>& file, const CopcKey& key, uint64_t& offset,
                    uint64_t& size) {
    const size_t at = findEntry(file, rootPageOffset(file), rootPageSize(file), key);
    if (!at)
        return false;
    int32_t bytes = 0;
    std::memcpy(&offset, &file[at + 16], 8);
    std::memcpy(&bytes, &file[at + 24], 4);
    size = uint64_t(uint32_t(bytes));
    return true;
}

// --- A source behind a gate ---

bool GatedSource::read(int64_t offset, int64_t length, std::vector<uint8_t>& out, std::string&) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++reads_;
    const bool inRange = offset < end_ && offset + length > begin_;
    rangeReads_ += inRange;
    if (shut_ && inRange) {
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !shut_; });
        --waiting_;
    }
    out.assign(bytes_.begin() + offset, bytes_.begin() + offset + length);
    return true;
}

void GatedSource::setShut(bool shut) {
    std::lock_guard<std::mutex> lock(mutex_);
    shut_ = shut;
    changed_.notify_all();
}

void GatedSource::setRange(int64_t begin, int64_t end) {
    std::lock_guard<std::mutex> lock(mutex_);
    begin_ = begin;
    end_ = end;
    rangeReads_ = 0;
}

int GatedSource::waitForWaiting(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return waiting_ >= n; });
    return waiting_;
}

int GatedSource::reads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
}

int GatedSource::rangeReads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rangeReads_;
}
