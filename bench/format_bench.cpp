// bench/format_bench.cpp - the load time of each format against the native one, on the same
// cloud: the native file is read once, written as LAS (point format 3), binary PLY, binary PCD
// and xyz text next to it, and each file is loaded BENCH_RUNS times through the programs'
// loading code. Prints one line per format: median seconds, MB/s of file, and the ratio to
// the native load.
//
//   format-bench NATIVE_FILE SCRATCH_FOLDER [RUNS]
#include "io/cloud_load.h"
#include "io/cloud_writer.h"
#include "io/point_cloud.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T> void put(std::vector<unsigned char>& bytes, size_t at, T value) {
    std::memcpy(&bytes[at], &value, sizeof value);
}

bool writeLas(const PointCloud& cloud, FILE* out) {
    std::vector<unsigned char> header(227, 0);
    std::memcpy(header.data(), "LASF", 4);
    header[24] = 1;
    header[25] = 2;
    put<uint16_t>(header, 94, 227);
    put<uint32_t>(header, 96, 227);
    header[104] = 3;
    put<uint16_t>(header, 105, 34);
    put<uint32_t>(header, 107, static_cast<uint32_t>(cloud.count));
    for (int axis = 0; axis < 3; ++axis)
        put<double>(header, 131 + 8 * axis, 0.001);
    std::fwrite(header.data(), 1, header.size(), out);
    std::vector<unsigned char> record(34, 0);
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        put<int32_t>(record, 0, static_cast<int32_t>(std::lround(p.x * 1000.0)));
        put<int32_t>(record, 4, static_cast<int32_t>(std::lround(p.y * 1000.0)));
        put<int32_t>(record, 8, static_cast<int32_t>(std::lround(p.z * 1000.0)));
        put<uint16_t>(record, 28, static_cast<uint16_t>(p.r * 65535.0f));
        put<uint16_t>(record, 30, static_cast<uint16_t>(p.g * 65535.0f));
        put<uint16_t>(record, 32, static_cast<uint16_t>(p.b * 65535.0f));
        std::fwrite(record.data(), 1, record.size(), out);
    }
    return !std::ferror(out);
}

uint32_t packed(const PointRecord& p) {
    auto byte = [](float c) { return static_cast<uint32_t>(std::lround(c * 255.0f)) & 0xFF; };
    return byte(p.r) << 16 | byte(p.g) << 8 | byte(p.b);
}

bool writePcd(const PointCloud& cloud, FILE* out) {
    std::fprintf(out,
                 "# .PCD v0.7\nVERSION 0.7\nFIELDS x y z rgb\nSIZE 4 4 4 4\nTYPE F F F U\n"
                 "COUNT 1 1 1 1\nWIDTH %d\nHEIGHT 1\nPOINTS %d\nDATA binary\n",
                 static_cast<int>(cloud.count), static_cast<int>(cloud.count));
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        const uint32_t word = packed(p);
        std::fwrite(&p.x, sizeof(float), 3, out);
        std::fwrite(&word, sizeof word, 1, out);
    }
    return !std::ferror(out);
}

bool writeXyz(const PointCloud& cloud, FILE* out) {
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        const uint32_t word = packed(p);
        std::fprintf(out, "%.4f %.4f %.4f %u %u %u\n", p.x, p.y, p.z, word >> 16,
                     (word >> 8) & 0xFF, word & 0xFF);
    }
    return !std::ferror(out);
}

double loadSeconds(const std::string& path, int32_t* count) {
    const auto start = std::chrono::steady_clock::now();
    PointCloud cloud;
    loadCloudOrExit(path.c_str(), cloud);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    *count = cloud.count;
    releasePoints(cloud.points);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: format-bench NATIVE_FILE SCRATCH_FOLDER [RUNS]\n");
        return 1;
    }
    const std::string native = argv[1], folder = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    PointCloud cloud;
    loadCloudOrExit(native.c_str(), cloud);

    struct Entry {
        const char* name;
        std::string path;
        bool (*write)(const PointCloud&, FILE*);
    } entries[] = {
        {"native", native, nullptr},
        {"LAS 1.2 format 3", folder + "/bench.las", writeLas},
        {"PLY binary", folder + "/bench.ply", writeBinaryPly},
        {"PCD binary", folder + "/bench.pcd", writePcd},
        {"xyz text", folder + "/bench.xyz", writeXyz},
    };
    for (Entry& entry : entries) {
        if (!entry.write)
            continue;
        struct stat status;
        if (stat(entry.path.c_str(), &status) == 0 && status.st_size > 0)
            continue; // written by an earlier run from the same cloud
        FILE* out = std::fopen(entry.path.c_str(), "wb");
        if (!out || !entry.write(cloud, out) || std::fclose(out) != 0) {
            std::fprintf(stderr, "format-bench: cannot write %s\n", entry.path.c_str());
            return 1;
        }
    }
    releasePoints(cloud.points);

    double nativeSeconds = 0.0;
    for (const Entry& entry : entries) {
        std::vector<double> times;
        int32_t count = 0;
        for (int run = 0; run < runs; ++run)
            times.push_back(loadSeconds(entry.path, &count));
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        if (!entry.write)
            nativeSeconds = median;
        struct stat status;
        stat(entry.path.c_str(), &status);
        const double megabytes = static_cast<double>(status.st_size) / 1e6;
        std::printf("  %-17s %9d points %8.1f MB %7.3f s %7.0f MB/s  %5.2fx the native time\n",
                    entry.name, static_cast<int>(count), megabytes, median, megabytes / median,
                    median / nativeSeconds);
    }
    return 0;
}
