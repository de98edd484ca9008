// bench/copc_terrain.cpp - a procedural terrain written as an octree LAZ file of any size, node by
// node, and the writers' speed and size against plain LAZ of the same cloud.
//
//   copc-terrain [--points N] [--threads T] [--check] OUT.copc.laz
//   copc-terrain --compare [--points N] [--threads T] SCRATCH_DIRECTORY
//
// The terrain is a height field over a 10 km square. Level d of the octree holds the points of
// a 128 x 128 grid over each of its 4^d columns (a point jittered in each cell, at the height
// there), so every column gives 16,384 points spread over the nodes its surface crosses, and
// the spacing halves per level. Columns are made level by level until N points (default
// 1,000,000,000) are reached, each column compressed on its own, so that memory holds only the
// few columns in flight however large N is. Prints one line: points, nodes, depth, seconds,
// M points/s, CPU seconds, M points a CPU second, bytes, bytes a point; --check then checks the
// file whole and prints what it found.
//
// --compare builds the same terrain of N points (default 5,000,000) in memory, writes it as an
// octree file (the octree built first, as pointillist-convert does) and as plain LAZ into the
// directory, deletes both, and prints a line for each.
#include "io/copc/copc_check.h"
#include "io/copc/copc_cloud_writer.h"
#include "io/copc/copc_writer.h"
#include "io/las/las14_records.h"
#include "io/las/laz_cloud_writer.h"
#include "io/laz/parallel_chunks.h"
#include "io/mapped_file.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSide = 10000.0;  // metres
constexpr double kGround = -100.0; // the root cube's floor
constexpr int kGrid = 128;         // cells a side of a column at every level
constexpr int64_t kColumnPoints = int64_t(kGrid) * kGrid;
constexpr double kScale = 0.01;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The process's CPU time: on a shared machine, a truer measure of the work than the clock.
double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Hills, ridges and a little roughness, between about 0 and 900 m.
double height(double x, double y) {
    return 420.0 + 300.0 * std::sin(x / 1300.0) * std::cos(y / 1700.0) +
           120.0 * std::sin(x / 310.0 + 1.3) * std::sin(y / 270.0) +
           25.0 * std::sin((x + y) / 53.0) + 2.0 * std::sin(x / 7.1) * std::cos(y / 5.3);
}

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

// Column `index` of the whole sequence: its level, and x, y in Morton order within the level,
// so that a level cut short covers one compact patch.
struct Column {
    int level = 0;
    int32_t x = 0, y = 0;
};

Column columnAt(int64_t index) {
    Column c;
    int64_t levelColumns = 1;
    while (index >= levelColumns) {
        index -= levelColumns;
        levelColumns *= 4;
        ++c.level;
    }
    for (int bit = 0; bit < 31; ++bit) {
        c.x |= int32_t((index >> (2 * bit)) & 1) << bit;
        c.y |= int32_t((index >> (2 * bit + 1)) & 1) << bit;
    }
    return c;
}

// One column's points and attributes: the points of `cells` cells, as records of the cloud's
// frame (file coordinates = stored + 0, scale 0.01), sorted by the node (z cube) they are in.
class ColumnMaker {
public:
    ColumnMaker() {
        cloud_.colour = ColourKind::Rgb;
        PointAttributes& a = cloud_.attributes;
        a.present = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                    kGpsTime | kPointSource;
    }

    // Makes the column; its nodes' runs follow with nodeRuns().
    void make(int64_t index, int64_t cells) {
        const Column c = columnAt(index);
        const double edge = kSide / double(int64_t(1) << c.level);
        const double cell = edge / kGrid;
        points_.resize(size_t(cells));
        zNode_.resize(size_t(cells));
        PointAttributes& a = cloud_.attributes;
        a.intensity.resize(size_t(cells)), a.classification.resize(size_t(cells));
        a.returns.resize(size_t(cells)), a.gpsTime.resize(size_t(cells));
        a.pointSource.resize(size_t(cells)), a.flags.resize(size_t(cells));
        a.scanAngle.resize(size_t(cells)), a.userData.resize(size_t(cells));
        for (int64_t k = 0; k < cells; ++k) {
            const uint64_t h = mix(uint64_t(index) * 0x9E3779B97F4A7C15ull + uint64_t(k));
            const double u = double(h & 0xFFFF) / 65536.0, v = double((h >> 16) & 0xFFFF) / 65536.0;
            const double x = std::round((c.x * edge + (double(k % kGrid) + u) * cell) / kScale);
            const double y = std::round((c.y * edge + (double(k / kGrid) + v) * cell) / kScale);
            const double z = std::round(height(x * kScale, y * kScale) / kScale);
            PointRecord& p = points_[size_t(k)];
            p.x = float(x * kScale), p.y = float(y * kScale), p.z = float(z * kScale);
            const double shade = std::min(1.0, std::max(0.0, (z * kScale) / 900.0));
            p.r = float(0.3 + 0.5 * shade), p.g = float(0.6 - 0.3 * shade), p.b = float(0.2);
            a.intensity[size_t(k)] = uint16_t(h >> 40);
            a.classification[size_t(k)] = (h >> 60) == 0 ? 5 : 2; // some high vegetation
            a.returns[size_t(k)] = PointAttributes::packReturns(1, 1);
            a.gpsTime[size_t(k)] = 1.0e8 + double(index) * 0.5 + double(k) * 1e-5;
            a.pointSource[size_t(k)] = uint16_t(index);
            // A swath's angle across the column, an overlap flag on its edges.
            a.scanAngle[size_t(k)] = int16_t((k % kGrid) * 40 - 2560);
            a.flags[size_t(k)] = (k % kGrid) < 4 ? kFlagOverlap : 0;
            a.userData[size_t(k)] = uint8_t(c.level);
            zNode_[size_t(k)] = int32_t(std::floor((z * kScale - kGround) / edge));
        }
        // Group by node: a counting pass over the few z cubes the column's surface crosses.
        const auto [low, high] = std::minmax_element(zNode_.begin(), zNode_.end());
        firstZ_ = *low;
        starts_.assign(size_t(*high - *low + 2), 0);
        for (const int32_t z : zNode_)
            ++starts_[size_t(z - firstZ_ + 1)];
        for (size_t i = 1; i < starts_.size(); ++i)
            starts_[i] += starts_[i - 1];
        order_.resize(size_t(cells));
        std::vector<int64_t> next(starts_.begin(), starts_.end() - 1);
        for (int64_t k = 0; k < cells; ++k)
            order_[size_t(next[size_t(zNode_[size_t(k)] - firstZ_)]++)] = k;
        permute(cells);
        column_ = c;
    }

    const PointCloud& cloud() const { return cloud_; }
    const Column& column() const { return column_; }
    // Node runs: z cube firstZ() + i holds records [start(i), start(i + 1)).
    int32_t firstZ() const { return firstZ_; }
    size_t runs() const { return starts_.size() - 1; }
    int64_t start(size_t i) const { return starts_[i]; }

private:
    template <class T> void reorder(std::vector<T>& values, int64_t cells) {
        scratch_.resize(size_t(cells) * sizeof(T));
        T* out = reinterpret_cast<T*>(scratch_.data());
        for (int64_t k = 0; k < cells; ++k)
            out[k] = values[size_t(order_[size_t(k)])];
        std::memcpy(values.data(), out, size_t(cells) * sizeof(T));
    }
    void permute(int64_t cells) {
        reorder(points_, cells);
        PointAttributes& a = cloud_.attributes;
        reorder(a.intensity, cells), reorder(a.classification, cells), reorder(a.returns, cells);
        reorder(a.gpsTime, cells), reorder(a.pointSource, cells), reorder(a.flags, cells);
        reorder(a.scanAngle, cells), reorder(a.userData, cells);
        cloud_.points = points_.data();
        cloud_.count = int32_t(cells);
    }

    PointCloud cloud_;
    std::vector<PointRecord> points_;
    std::vector<int32_t> zNode_;
    std::vector<int64_t> starts_, order_;
    std::vector<uint8_t> scratch_;
    int32_t firstZ_ = 0;
    Column column_;
};

Las14Frame terrainFrame() {
    Las14Frame frame;
    frame.pointFormat = 7;
    frame.recordLength = 36;
    std::fill(frame.scale, frame.scale + 3, kScale);
    return frame;
}

struct Figures {
    const char* what = "";
    uint64_t points = 0, nodes = 0, bytes = 0;
    int depth = -1;
    double seconds = 0.0, cpuSeconds = 0.0;
};

void print(const Figures& f) {
    std::printf("%s points=%llu nodes=%llu depth=%d seconds=%.3f mpts_per_s=%.3f cpu_s=%.3f "
                "mpts_per_cpu_s=%.3f bytes=%llu bytes_per_point=%.3f\n",
                f.what, (unsigned long long)f.points, (unsigned long long)f.nodes, f.depth,
                f.seconds, f.points / f.seconds * 1e-6, f.cpuSeconds,
                f.points / f.cpuSeconds * 1e-6, (unsigned long long)f.bytes,
                f.points ? double(f.bytes) / double(f.points) : 0.0);
}

// Streams the terrain node by node into path.
bool writeTerrain(int64_t points, int threads, const char* path, Figures& figures) {
    FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::fprintf(stderr, "copc-terrain: %s: cannot be written\n", path);
        return false;
    }
    const Clock::time_point started = Clock::now();
    const double cpuStarted = processSeconds();
    const Las14Frame frame = terrainFrame();
    CopcWriter writer(frame.pointFormat, lazFileSink(out));
    CopcInfo info;
    info.centre[0] = info.centre[1] = kSide * 0.5;
    info.centre[2] = kGround + kSide * 0.5;
    info.halfSize = kSide * 0.5;
    info.spacing = kSide / kGrid;
    Las14Header header;
    bool ok = writer.begin(header, info);

    const int64_t columns = (points + kColumnPoints - 1) / kColumnPoints;
    std::vector<ColumnMaker> makers(kMostParts);
    std::vector<Las14Tally> tallies(kMostParts);
    std::vector<std::vector<uint8_t>> records(kMostParts);
    const ChunkJob job = [&](int64_t index, int worker, LazChunkEncoder& encoder,
                             CompressedChunks& made) {
        ColumnMaker& maker = makers[size_t(worker)];
        maker.make(index, std::min(kColumnPoints, points - index * kColumnPoints));
        std::vector<uint8_t>& buffer = records[size_t(worker)];
        buffer.resize(size_t(maker.cloud().count) * frame.recordLength);
        makeLas14Records(maker.cloud(), frame, 0, maker.cloud().count, buffer.data(),
                         tallies[size_t(worker)]);
        for (size_t i = 0; i < maker.runs(); ++i) {
            const int64_t first = maker.start(i), count = maker.start(i + 1) - first;
            if (count > 0 && !made.add(encoder, &buffer[size_t(first) * frame.recordLength],
                                       uint32_t(count), maker.firstZ() + int64_t(i)))
                return false;
        }
        return true;
    };
    const ChunkTaker take = [&](int64_t index, const CompressedChunks& made) {
        const Column c = columnAt(index);
        for (size_t i = 0; i < made.size(); ++i) {
            const CopcKey key{c.level, c.x, c.y, int32_t(made[i].tag)};
            if (!writer.writeNode(key, made[i].bytes.data(), made[i].bytes.size(), made[i].points))
                return false;
            figures.depth = std::max(figures.depth, c.level);
        }
        return true;
    };
    ok = ok && compressChunksInOrder(writer.layout(), columns, threads, job, take);
    Las14Tally tally;
    for (const Las14Tally& part : tallies)
        tally.join(part);
    describeLas14Records(frame, tally, header);
    info.gpsTimeMin = tally.gpsLow;
    info.gpsTimeMax = tally.gpsHigh;
    ok = ok && writer.finish(header, info);
    ok = std::fclose(out) == 0 && ok;
    figures.what = "copc-streamed";
    figures.seconds = since(started);
    figures.cpuSeconds = processSeconds() - cpuStarted;
    figures.points = tally.points;
    figures.nodes = writer.nodes();
    figures.bytes = writer.bytes();
    if (!ok)
        std::fprintf(stderr, "copc-terrain: %s: the write failed\n", path);
    return ok;
}

// The same terrain whole in memory, column after column.
bool buildTerrain(int64_t points, PointCloud& cloud) {
    if (points > INT32_MAX)
        return false;
    cloud.points = allocatePoints(points);
    if (!cloud.points)
        return false;
    cloud.count = int32_t(points);
    cloud.colour = ColourKind::Rgb;
    PointAttributes& a = cloud.attributes;
    ColumnMaker maker;
    a.present = maker.cloud().attributes.present;
    for (int64_t index = 0, at = 0; at < points; ++index) {
        maker.make(index, std::min(kColumnPoints, points - at));
        const PointCloud& c = maker.cloud();
        std::copy(c.points, c.points + c.count, cloud.points + at);
        const auto append = [](auto& to, const auto& from) {
            to.insert(to.end(), from.begin(), from.end());
        };
        append(a.intensity, c.attributes.intensity),
            append(a.classification, c.attributes.classification);
        append(a.returns, c.attributes.returns), append(a.gpsTime, c.attributes.gpsTime);
        append(a.pointSource, c.attributes.pointSource), append(a.flags, c.attributes.flags);
        append(a.scanAngle, c.attributes.scanAngle), append(a.userData, c.attributes.userData);
        at += c.count;
    }
    std::fill(cloud.precision, cloud.precision + 3, kScale);
    return true;
}

bool compare(int64_t points, int threads, const std::string& directory) {
    const std::string paths[2] = {directory + "/terrain-compare.copc.laz",
                                  directory + "/terrain-compare.laz"};
    for (int copc = 1; copc >= 0; --copc) {
        // A fresh cloud each time: the octree writer reorders it.
        PointCloud cloud;
        if (!buildTerrain(points, cloud)) {
            std::fprintf(stderr, "copc-terrain: no memory for %lld points\n", (long long)points);
            return false;
        }
        const char* path = paths[copc].c_str();
        FILE* out = std::fopen(path, "wb");
        if (!out) {
            releasePoints(cloud.points);
            return false;
        }
        const Clock::time_point started = Clock::now();
        const double cpuStarted = processSeconds();
        CloudWriteReport report;
        bool ok;
        if (copc) {
            CopcCloudOptions options;
            options.threads = threads;
            ok = writeCopcCloud(cloud, lazFileSink(out), options, &report);
        } else {
            ok = writeLazCloud(cloud, lazFileSink(out), threads, &report);
        }
        ok = std::fclose(out) == 0 && ok;
        Figures f;
        f.what = copc ? "copc-from-memory" : "laz-from-memory";
        f.seconds = since(started);
        f.cpuSeconds = processSeconds() - cpuStarted;
        f.points = report.points;
        f.nodes = report.chunks;
        f.depth = report.depth;
        f.bytes = report.bytes;
        releasePoints(cloud.points);
        std::remove(path);
        if (!ok)
            return false;
        print(f);
    }
    return true;
}

bool check(const char* path, int threads) {
    MappedFile mapped;
    if (mapped.open(path) != MappedFile::Opened::Mapped) {
        std::fprintf(stderr, "copc-terrain: %s: cannot be read back\n", path);
        return false;
    }
    const CopcCheckResult result = checkCopcFile(mapped.data(), mapped.size(), threads);
    std::printf("check points=%llu nodes=%zu pages=%zu depth=%d problems=%zu\n",
                (unsigned long long)result.points, result.nodes, result.pages, result.depth,
                result.problems.size());
    for (const std::string& line : result.problems)
        std::printf("  %s\n", line.c_str());
    return result.passed();
}

} // namespace

int main(int argc, char** argv) {
    int64_t points = -1;
    int threads = usableCores();
    bool checkAfter = false, comparing = false;
    const char* target = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--points") == 0 && i + 1 < argc)
            points = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            threads = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--check") == 0)
            checkAfter = true;
        else if (std::strcmp(argv[i], "--compare") == 0)
            comparing = true;
        else if (!target && argv[i][0] != '-')
            target = argv[i];
        else
            target = nullptr, i = argc;
    }
    if (!target || points == 0 || points < -1) {
        std::fprintf(stderr, "usage: copc-terrain [--points N] [--threads T] [--check] "
                             "OUT.copc.laz\n       copc-terrain --compare [--points N] "
                             "[--threads T] SCRATCH_DIRECTORY\n");
        return 1;
    }
    if (comparing)
        return compare(points < 0 ? 5000000 : points, threads, target) ? 0 : 1;
    Figures figures;
    if (!writeTerrain(points < 0 ? 1000000000 : points, threads, target, figures))
        return 1;
    print(figures);
    return checkAfter && !check(target, threads) ? 1 : 0;
}
