// bench/format_bench.cpp - the load of each format against the native one, on the same cloud:
// the native file is read once, written as LAS (point format 3), binary PLY, binary PCD, xyz
// text, ascii PLY and ascii PCD next to it, and each file is loaded RUNS times, the formats
// interleaved, each load in a process of its own so that its peak resident memory is its own. A
// load is timed twice, in two processes: the reader alone on the mapped file (what the format
// costs), and the programs' whole loading code (reader, colours, box). Prints one line per format
// with medians: reader seconds, GB/s of file and per core used, the whole load's seconds, peak RSS
// against the records' own size, and the time per byte against the native reader's.
//
//   format-bench NATIVE_FILE SCRATCH_FOLDER [RUNS]
//   format-bench write NATIVE_FILE SCRATCH_FOLDER   (the files, by a child)
//   format-bench read|load FILE                     (one load, by a child)
#include "bench/bench_figures.h"
#include "io/cloud_load.h"
#include "io/cloud_writer.h"
#include "io/formats.h"
#include "io/mapped_file.h"
#include "io/point_cloud.h"
#include "threads/worker_pool.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool writeAsciiPly(const PointCloud& cloud, FILE* out) {
    std::fprintf(out,
                 "ply\nformat ascii 1.0\nelement vertex %d\nproperty float x\nproperty float y\n"
                 "property float z\nproperty uchar red\nproperty uchar green\n"
                 "property uchar blue\nend_header\n",
                 static_cast<int>(cloud.count));
    return writeXyz(cloud, out);
}

bool writeAsciiPcd(const PointCloud& cloud, FILE* out) {
    std::fprintf(out,
                 "# .PCD v0.7\nVERSION 0.7\nFIELDS x y z rgb\nSIZE 4 4 4 4\nTYPE F F F U\n"
                 "COUNT 1 1 1 1\nWIDTH %d\nHEIGHT 1\nPOINTS %d\nDATA ascii\n",
                 static_cast<int>(cloud.count), static_cast<int>(cloud.count));
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        std::fprintf(out, "%.4f %.4f %.4f %u\n", p.x, p.y, p.z, packed(p));
    }
    return !std::ferror(out);
}

struct Entry {
    const char* name;
    std::string path;
    bool (*write)(const PointCloud&, FILE*);
};

std::vector<Entry> entries(const std::string& native, const std::string& folder) {
    return {
        {"native", native, nullptr},
        {"LAS 1.2 format 3", folder + "/bench.las", writeLas},
        {"PLY binary", folder + "/bench.ply", writeBinaryPly},
        {"PCD binary", folder + "/bench.pcd", writePcd},
        {"xyz text", folder + "/bench.xyz", writeXyz},
        {"PLY ascii", folder + "/bench-ascii.ply", writeAsciiPly},
        {"PCD ascii", folder + "/bench-ascii.pcd", writeAsciiPcd},
    };
}

int writeFiles(const std::string& native, const std::string& folder) {
    PointCloud cloud;
    loadCloudOrExit(native.c_str(), cloud);
    for (Entry& entry : entries(native, folder)) {
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
    return 0;
}

// Processor seconds of every thread of this process so far.
double processorSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One load in this process: "seconds processor-seconds count peak-KiB". read: the reader on the
// mapped file with the threads the loading code gives it; load: the whole loading code.
int loadOnce(bool readerOnly, const char* path) {
    using Clock = std::chrono::steady_clock;
    const double processorStart = processorSeconds();
    const Clock::time_point start = Clock::now();
    int64_t count = 0;
    if (readerOnly) {
        MappedFile file;
        if (file.open(path) != MappedFile::Opened::Mapped)
            return 1;
        const FormatEntry* entry =
            pickFormat(path, file.data(), std::min<size_t>(file.size(), 4096), true);
        if (!entry)
            return 1;
        ReadRequest request;
        request.path = path;
        request.bytes = file.data();
        request.size = file.size();
        request.threads = usableCores();
        ReadResult result = entry->read(request);
        count = result.count;
        releasePoints(result.points);
    } else {
        PointCloud cloud;
        loadCloudOrExit(path, cloud);
        count = cloud.count;
        releasePoints(cloud.points);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double processor = processorSeconds() - processorStart;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %.4f %lld %ld\n", seconds, processor, static_cast<long long>(count),
                usage.ru_maxrss);
    return 0;
}

// Runs this program with the arguments in a child and gives back its one line of output.
bool inChild(const char* self, std::vector<std::string> arguments, std::string& line) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        std::vector<char*> argv{const_cast<char*>(self)};
        for (std::string& argument : arguments)
            argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    line.clear();
    char buffer[256];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "write") == 0)
        return writeFiles(argv[2], argv[3]);
    if (argc == 3 && (std::strcmp(argv[1], "read") == 0 || std::strcmp(argv[1], "load") == 0))
        return loadOnce(argv[1][0] == 'r', argv[2]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: format-bench NATIVE_FILE SCRATCH_FOLDER [RUNS]\n");
        return 1;
    }
    const std::string native = argv[1], folder = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    // This process stays small, so that its children's peaks are their own.
    std::string line;
    if (!inChild(argv[0], {"write", native, folder}, line))
        return 1;

    const std::vector<Entry> list = entries(native, folder);
    struct Figures {
        std::vector<double> read, processor, load, peak;
        long long count = 0;
    };
    std::vector<Figures> figures(list.size());
    for (int run = 0; run < runs; ++run)
        for (size_t i = 0; i < list.size(); ++i)
            for (const char* mode : {"read", "load"}) {
                if (!inChild(argv[0], {mode, list[i].path}, line)) {
                    std::fprintf(stderr, "format-bench: cannot load %s\n", list[i].path.c_str());
                    return 1;
                }
                double seconds = 0.0, processor = 0.0;
                long long count = 0;
                long peak = 0;
                std::sscanf(line.c_str(), "%lf %lf %lld %ld", &seconds, &processor, &count, &peak);
                (mode[0] == 'r' ? figures[i].read : figures[i].load).push_back(seconds);
                if (mode[0] == 'r')
                    figures[i].processor.push_back(processor);
                if (mode[0] == 'l')
                    figures[i].peak.push_back(static_cast<double>(peak) / 1024.0);
                figures[i].count = count;
            }

    const int threads = usableCores();
    std::printf("  %-17s %8s %8s %7s %7s %5s %9s %7s %8s %9s %8s %8s\n", "format", "points",
                "file_MB", "read_s", "cpu_s", "GB/s", "GB/s/core", "load_s", "peak_MB", "points_MB",
                "s/B_nat", "cpu/B_nat");
    double nativePerByte = 0.0, nativeProcessorPerByte = 0.0;
    for (size_t i = 0; i < list.size(); ++i) {
        struct stat status;
        stat(list[i].path.c_str(), &status);
        const double bytes = static_cast<double>(status.st_size);
        const double read = median(figures[i].read), load = median(figures[i].load);
        const double processor = median(figures[i].processor);
        if (i == 0) {
            nativePerByte = read / bytes;
            nativeProcessorPerByte = processor / bytes;
        }
        const double pointsMegabytes =
            static_cast<double>(figures[i].count) * sizeof(PointRecord) / (1024.0 * 1024.0);
        std::printf("  %-17s %8lld %8.1f %7.3f %7.3f %5.2f %9.2f %7.3f %8.1f %9.1f %7.2fx %7.2fx\n",
                    list[i].name, figures[i].count, bytes / 1e6, read, processor,
                    bytes / read / 1e9, bytes / processor / 1e9, load, median(figures[i].peak),
                    pointsMegabytes, read / bytes / nativePerByte,
                    processor / bytes / nativeProcessorPerByte);
    }
    std::printf("  (%d runs, medians; read: the reader alone, %d threads, its wall and processor "
                "seconds; GB/s of file per wall second and per processor second; load: the whole "
                "loading code; peak RSS of the whole load, the mapped file's pages included)\n",
                runs, threads);
    return 0;
}
