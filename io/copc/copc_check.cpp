// io/copc/copc_check.cpp - the header, the index against the chunk table, every node decoded
// and measured, then the plain read compared by hash. Written apart from the writer's code, so
// that a slip in it shows here rather than being repeated.
#include "io/copc/copc_check.h"

#include "io/byte_order.h"
#include "io/byte_source.h"
#include "io/copc/copc_file.h"
#include "io/copc/copc_node_decoder.h"
#include "io/laz/chunk_table.h"
#include "io/laz/laz_file.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

namespace {

constexpr size_t kMostNamed = 20;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Problems as found; only the first few are kept by name.
class Problems {
public:
    void add(const std::string& line) {
        if (lines_.size() < kMostNamed)
            lines_.push_back(line);
        else
            ++unnamed_;
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> all = lines_;
        if (unnamed_ > 0)
            all.push_back("and " + std::to_string(unnamed_) + " more problems");
        return all;
    }

private:
    std::vector<std::string> lines_;
    size_t unnamed_ = 0;
};

// One record at its place in the file's point order, mixed so that a sum over records is a
// check of the whole set of (place, record) pairs.
uint64_t recordHash(uint64_t place, const uint8_t* record, size_t length) {
    uint64_t h = 1469598103934665603ull ^ (place * 0x9E3779B97F4A7C15ull);
    for (size_t i = 0; i < length; ++i)
        h = (h ^ record[i]) * 1099511628211ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 33);
}

// What the decoded points add up to, per thread.
struct Sums {
    double low[3] = {kInfinity, kInfinity, kInfinity};
    double high[3] = {-kInfinity, -kInfinity, -kInfinity};
    uint64_t byReturn[15] = {};
    double gpsLow = kInfinity, gpsHigh = -kInfinity;
    uint64_t points = 0;
    uint64_t hash = 0;
};

void checkHeader(const uint8_t* data, const CopcFile& file, Problems& problems) {
    if ((loadLittle<uint16_t>(data + 6) & 0x10) == 0)
        problems.add("the header's global encoding lacks the WKT bit (bit 4)");
    if (loadLittle<uint32_t>(data + 107) != 0)
        problems.add("the header's legacy point count is not 0");
    if (!file.laz().variableChunks())
        problems.add("the compression record's chunks are not of variable size");
    if (!(file.info().spacing > 0.0))
        problems.add("the info record's spacing is not above 0");
    for (int i = 0; i < 11; ++i)
        if (loadLittle<uint64_t>(data + 501 + 8 * i) != 0) {
            problems.add("the info record's reserved words are not 0");
            break;
        }
}

} // namespace

CopcCheckResult checkCopcFile(const uint8_t* data, size_t size, int threads) {
    CopcCheckResult result;
    Problems problems;
    std::string error;
    std::unique_ptr<CopcFile> file = CopcFile::open(viewBytes("check", data, size), error);
    if (!file) {
        problems.add("not an octree file: " + error);
        result.problems = problems.lines();
        return result;
    }
    checkHeader(data, *file, problems);
    const LasLayout& las = file->las();

    // --- The index ---
    CopcHierarchy& index = file->hierarchy();
    index.loadAll();
    for (const std::string& line : index.takeDamage())
        problems.add(line);
    const std::vector<CopcNode> all = index.nodes();
    std::map<CopcKey, CopcNode> byKey;
    for (const CopcNode& node : all)
        byKey.emplace(node.key, node);
    std::vector<CopcNode> nodes;
    uint64_t indexed = 0;
    for (const CopcNode& node : all) {
        if (node.key.level > 0 && byKey.count(node.key.parent()) == 0)
            problems.add("node " + node.key.text() +
                         " cannot be reached: " + node.key.parent().text() + " has no entry");
        if (node.points > 0) {
            nodes.push_back(node);
            indexed += node.points;
            result.depth = std::max(result.depth, node.key.level);
        }
    }
    result.nodes = nodes.size();
    result.pages = index.summary().pagesRead;
    if (indexed != las.declared)
        problems.add("the index holds " + std::to_string(indexed) + " points, the header says " +
                     std::to_string(las.declared));

    // --- The chunk table against the index ---
    std::sort(nodes.begin(), nodes.end(),
              [](const CopcNode& a, const CopcNode& b) { return a.offset < b.offset; });
    LazFileInfo info;
    error = readLazFileInfo(data, size, info);
    LazChunkList table;
    if (error.empty())
        table = readChunkTable(data, size, info.pointData, info.pointCount, info.layout);
    else
        problems.add("it cannot be read as plain LAZ: " + error);
    if (!table.problem.empty())
        problems.add("its chunk table cannot be used: " + table.problem);
    std::vector<uint64_t> firstPoint(nodes.size(), 0);
    if (error.empty() && table.problem.empty()) {
        if (table.chunks.size() != nodes.size())
            problems.add("the chunk table lists " + std::to_string(table.chunks.size()) +
                         " chunks, the index " + std::to_string(nodes.size()) + " nodes");
        for (size_t i = 0; i < std::min(nodes.size(), table.chunks.size()); ++i) {
            const LazChunk& chunk = table.chunks[i];
            const CopcNode& node = nodes[i];
            firstPoint[i] = chunk.firstPoint;
            if (chunk.offset != node.offset || chunk.bytes != node.bytes ||
                chunk.points != node.points)
                problems.add(
                    "chunk " + std::to_string(i + 1) + " (" + std::to_string(chunk.points) +
                    " points, " + std::to_string(chunk.bytes) + " bytes at " +
                    std::to_string(chunk.offset) + ") is not node " + node.key.text() + "'s (" +
                    std::to_string(node.points) + " points, " + std::to_string(node.bytes) +
                    " bytes at " + std::to_string(node.offset) + ")");
        }
    }

    // --- Every node decoded ---
    const uint32_t length = las.recordLength;
    std::vector<Sums> sums(kMostParts);
    std::vector<std::string> nodeProblems(nodes.size());
    runInParts(
        int64_t(nodes.size()), std::max(threads, 1), [&](int64_t begin, int64_t end, int part) {
            CopcNodeDecoder decoder(*file, LazFields::All);
            Sums& sum = sums[size_t(part)];
            for (int64_t n = begin; n < end; ++n) {
                const CopcNode& node = nodes[size_t(n)];
                std::string why;
                const uint8_t* records = decoder.decodeRecords(node, why);
                if (!records) {
                    nodeProblems[size_t(n)] = why;
                    continue;
                }
                const CopcCube cube = file->cube(node.key);
                uint64_t outside = 0;
                for (uint32_t i = 0; i < node.points; ++i) {
                    const uint8_t* r = records + size_t(i) * length;
                    for (int axis = 0; axis < 3; ++axis) {
                        const double v =
                            loadLittle<int32_t>(r + 4 * axis) * las.scale[axis] + las.offset[axis];
                        const double slack =
                            0.5 * las.scale[axis] + 1e-9 * (std::fabs(v) + file->info().halfSize);
                        if (v < cube.low[axis] - slack || v > cube.high[axis] + slack)
                            ++outside;
                        sum.low[axis] = std::min(sum.low[axis], v);
                        sum.high[axis] = std::max(sum.high[axis], v);
                    }
                    const int returnNumber = r[14] & 15;
                    if (returnNumber >= 1)
                        ++sum.byReturn[returnNumber - 1];
                    const double gps = loadLittle<double>(r + 22);
                    sum.gpsLow = std::min(sum.gpsLow, gps);
                    sum.gpsHigh = std::max(sum.gpsHigh, gps);
                    sum.hash += recordHash(firstPoint[size_t(n)] + i, r, length);
                }
                sum.points += node.points;
                if (outside > 0)
                    nodeProblems[size_t(n)] = "node " + node.key.text() + " has " +
                                              std::to_string(outside) +
                                              " coordinates outside its cube";
            }
        });
    Sums total;
    for (const Sums& s : sums) {
        for (int axis = 0; axis < 3; ++axis) {
            total.low[axis] = std::min(total.low[axis], s.low[axis]);
            total.high[axis] = std::max(total.high[axis], s.high[axis]);
        }
        for (int i = 0; i < 15; ++i)
            total.byReturn[i] += s.byReturn[i];
        total.gpsLow = std::min(total.gpsLow, s.gpsLow);
        total.gpsHigh = std::max(total.gpsHigh, s.gpsHigh);
        total.points += s.points;
        total.hash += s.hash;
    }
    for (const std::string& line : nodeProblems)
        if (!line.empty())
            problems.add(line);
    result.points = total.points;

    // --- The header against the points ---
    if (total.points > 0) {
        static const char* kAxis[3] = {"x", "y", "z"};
        for (int axis = 0; axis < 3; ++axis)
            if (las.low[axis] != total.low[axis] || las.high[axis] != total.high[axis])
                problems.add(std::string("the header's ") + kAxis[axis] + " range is not the " +
                             "points' (" + std::to_string(total.low[axis]) + " to " +
                             std::to_string(total.high[axis]) + ")");
        const CopcInfo& copc = file->info();
        if (total.gpsLow < copc.gpsTimeMin || total.gpsHigh > copc.gpsTimeMax)
            problems.add("the points' GPS times reach beyond the info record's range");
    }
    for (int i = 0; i < 15; ++i)
        if (loadLittle<uint64_t>(data + 255 + 8 * i) != total.byReturn[i]) {
            problems.add("the header's points by return are not the points' counts");
            break;
        }

    // --- The plain read ---
    if (error.empty() && table.problem.empty()) {
        std::atomic<uint64_t> hash{0};
        const LazDecodeResult plain =
            decodeLazFile(data, size, info, LazFields::All, unsigned(std::max(threads, 1)),
                          [&](uint64_t first, const uint8_t* records, uint64_t count) {
                              uint64_t h = 0;
                              for (uint64_t i = 0; i < count; ++i)
                                  h += recordHash(first + i, records + i * length, length);
                              hash += h;
                          });
        if (!plain.message().empty())
            problems.add("read as plain LAZ: " + plain.message());
        else if (hash.load() != total.hash)
            problems.add("read as plain LAZ, it gives other records than its nodes");
    }
    result.problems = problems.lines();
    return result;
}
