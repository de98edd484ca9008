// bench/attribute_bench.cpp - what keeping the attributes costs: a classified tile written as LAS
// point format 1 or 3, or the same points as a file without attributes, and one load of a file
// through the programs' loading code with its time and memory.
//
//   attribute-bench make 1|3|plain COUNT OUT   writes the tile; plain is binary PLY of double
//                                              x y z and uchar red green blue, the colours those
//                                              of format 3
//   attribute-bench load FILE                  one load; prints seconds, points, attribute bytes
//                                              a point, MB of records, MB of attribute columns,
//                                              MB resident after the load less before it, and
//                                              the peak resident MB
#include "io/cloud_load.h"
#include "io/point_cloud.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T> void put(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

// One point of a synthetic 1 km tile: terrain, trees and roofs over it, classes as a survey
// gives them, returns, a rising GPS time.
struct TilePoint {
    int32_t x, y, z; // centimetres from the tile's corner
    uint16_t intensity;
    uint8_t returns, classByte;
    int8_t scanAngle;
    uint16_t source;
    double gpsTime;
    uint16_t r, g, b;
};

struct Generator {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    TilePoint point(int64_t i) {
        TilePoint p;
        p.x = static_cast<int32_t>(next() % 100000);
        p.y = static_cast<int32_t>(next() % 100000);
        const double ground = 1000.0 * std::sin(p.x * 3e-5) * std::cos(p.y * 4e-5) + 20000.0;
        const uint32_t pick = next() % 100;
        // Ground, low to high vegetation, buildings, water and a little noise.
        const uint8_t code = pick < 45   ? 2
                             : pick < 55 ? 3
                             : pick < 62 ? 4
                             : pick < 80 ? 5
                             : pick < 93 ? 6
                             : pick < 98 ? 9
                                         : 7;
        const double above = code == 2 || code == 9 ? 0 : code == 6 ? 900 : next() % 2500;
        p.z = static_cast<int32_t>(ground + above);
        p.classByte = code;
        const int of = code >= 3 && code <= 5 ? 1 + next() % 4 : 1;
        const int number = 1 + next() % of;
        p.returns = static_cast<uint8_t>(number | of << 3);
        p.intensity = static_cast<uint16_t>(next() % 4096);
        p.scanAngle = static_cast<int8_t>(static_cast<int>(next() % 41) - 20);
        p.source = static_cast<uint16_t>(1 + i / 1000000);
        p.gpsTime = 300000.0 + i * 1e-5;
        p.r = static_cast<uint16_t>(code * 9000), p.g = static_cast<uint16_t>(p.z * 2);
        p.b = p.intensity * 16;
        return p;
    }
};

constexpr double kOffset[3] = {500000.0, 5000000.0, 0.0};

int make(const char* kind, int64_t count, const char* path) {
    const bool plain = std::strcmp(kind, "plain") == 0;
    const int format = plain ? 3 : std::atoi(kind);
    if (count <= 0 || (format != 1 && format != 3)) {
        std::fprintf(stderr, "attribute-bench: make 1|3|plain COUNT OUT\n");
        return 1;
    }
    FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::perror(path);
        return 1;
    }
    const size_t length = plain ? 27 : format == 1 ? 28 : 34;
    if (plain) {
        std::fprintf(out,
                     "ply\nformat binary_little_endian 1.0\nelement vertex %lld\n"
                     "property double x\nproperty double y\nproperty double z\n"
                     "property uchar red\nproperty uchar green\nproperty uchar blue\nend_header\n",
                     static_cast<long long>(count));
    } else {
        unsigned char header[227] = {};
        std::memcpy(header, "LASF", 4);
        header[24] = 1, header[25] = 2;
        put<uint16_t>(header + 94, 227);
        put<uint32_t>(header + 96, 227);
        header[104] = static_cast<unsigned char>(format);
        put<uint16_t>(header + 105, static_cast<uint16_t>(length));
        put<uint32_t>(header + 107, static_cast<uint32_t>(count));
        const double high[3] = {1000.0, 1000.0, 250.0};
        for (int axis = 0; axis < 3; ++axis) {
            put<double>(header + 131 + 8 * axis, 0.01);
            put<double>(header + 155 + 8 * axis, kOffset[axis]);
            put<double>(header + 179 + 16 * axis, kOffset[axis] + high[axis]);
            put<double>(header + 187 + 16 * axis, kOffset[axis]);
        }
        std::fwrite(header, 1, sizeof header, out);
    }
    Generator generator;
    std::vector<unsigned char> block(length * 65536);
    for (int64_t done = 0; done < count;) {
        const int64_t n = std::min<int64_t>(65536, count - done);
        for (int64_t k = 0; k < n; ++k) {
            const TilePoint p = generator.point(done + k);
            unsigned char* r = block.data() + k * length;
            std::memset(r, 0, length);
            if (plain) {
                const int32_t xyz[3] = {p.x, p.y, p.z};
                for (int axis = 0; axis < 3; ++axis)
                    put<double>(r + 8 * axis, xyz[axis] * 0.01 + kOffset[axis]);
                r[24] = static_cast<unsigned char>(p.r >> 8);
                r[25] = static_cast<unsigned char>(p.g >> 8);
                r[26] = static_cast<unsigned char>(p.b >> 8);
                continue;
            }
            put<int32_t>(r, p.x), put<int32_t>(r + 4, p.y), put<int32_t>(r + 8, p.z);
            put<uint16_t>(r + 12, p.intensity);
            r[14] = p.returns, r[15] = p.classByte, r[16] = static_cast<unsigned char>(p.scanAngle);
            put<uint16_t>(r + 18, p.source);
            put<double>(r + 20, p.gpsTime);
            if (format == 3)
                put<uint16_t>(r + 28, p.r), put<uint16_t>(r + 30, p.g), put<uint16_t>(r + 32, p.b);
        }
        std::fwrite(block.data(), length, static_cast<size_t>(n), out);
        done += n;
    }
    const bool written = !std::ferror(out);
    return std::fclose(out) == 0 && written ? 0 : 1;
}

// The process's resident and peak resident KiB, from /proc.
void residentKib(long& now, long& peak) {
    now = peak = 0;
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        std::sscanf(line, "VmRSS: %ld", &now);
        std::sscanf(line, "VmHWM: %ld", &peak);
    }
    std::fclose(status);
}

int load(const char* path) {
    long before, peak, after;
    residentKib(before, peak);
    const auto start = std::chrono::steady_clock::now();
    PointCloud cloud;
    loadCloudOrExit(path, cloud);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    residentKib(after, peak);
    const double mb = 1024.0 * 1024.0;
    const size_t perPoint = cloud.attributes.bytesPerPoint();
    std::printf("%.3f %d %zu %.1f %.1f %.1f %.1f\n", seconds, static_cast<int>(cloud.count),
                perPoint, cloud.count * sizeof(PointRecord) / mb, cloud.count * perPoint / mb,
                (after - before) / 1024.0, peak / 1024.0);
    releasePoints(cloud.points);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atoll(argv[3]), argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "load") == 0)
        return load(argv[2]);
    std::fprintf(stderr, "usage: attribute-bench make 1|3|plain COUNT OUT\n"
                         "       attribute-bench load FILE\n");
    return 1;
}
