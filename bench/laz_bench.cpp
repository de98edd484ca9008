// bench/laz_bench.cpp - compressed LAS decoding and encoding speed on generated files.
//
//   laz-bench make SOURCE.laz POINTS OUT.laz   writes OUT: SOURCE's chunks repeated (in turn)
//                                              until it holds at least POINTS points, with a
//                                              chunk table, so its chunks decode in parallel
//   laz-bench decode FILE THREADS all|viewer [cpu]
//                                              decodes every point of FILE into one array;
//                                              prints seconds, points and millions of points
//                                              per second; with cpu, also millions of points
//                                              per second of CPU time, which a busy machine
//                                              disturbs less
//   laz-bench encode SOURCE POINTS [CHUNK]     writes a compressed LAS 1.4 file in memory of
//                                              SOURCE's records (a LAS 1.4 file of format 6-8,
//                                              compressed or not) repeated to POINTS, in chunks
//                                              of CHUNK (50000) points, on one thread; prints
//                                              seconds, points, millions of points per second
//                                              (of wall time, then of CPU time) and the
//                                              compressed size as a share of the records
#include "io/laz/compression_record.h"
#include "io/laz/laz_file.h"
#include "io/laz/laz_file_writer.h"
#include "io/laz/laz_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int make(const char* source, uint64_t points, const char* out) {
    const std::vector<uint8_t> file = readFile(source);
    LazFileInfo info;
    const std::string error = readLazFileInfo(file.data(), file.size(), info);
    if (!error.empty()) {
        std::fprintf(stderr, "laz-bench: %s: %s\n", source, error.c_str());
        return 1;
    }
    const LazDecodeResult table = decodeLazFile(file.data(), file.size(), info, LazFields::Viewer,
                                                1, [](uint64_t, const uint8_t*, uint64_t) {});
    std::vector<LazChunkBytes> source_chunks;
    for (const LazChunk& c : table.chunks.chunks)
        source_chunks.push_back(
            {std::vector<uint8_t>(file.begin() + c.offset, file.begin() + c.offset + c.bytes),
             uint32_t(c.points)});
    // Every chunk but the last must hold the fixed size: only full chunks are repeated.
    std::vector<LazChunkBytes> full;
    uint32_t size = 0;
    for (const LazChunkBytes& c : source_chunks)
        size = c.points > size ? c.points : size;
    for (const LazChunkBytes& c : source_chunks)
        if (c.points == size)
            full.push_back(c);
    std::vector<LazChunkBytes> chunks;
    uint64_t total = 0;
    for (size_t i = 0; total < points; ++i) {
        chunks.push_back(full[i % full.size()]);
        total += size;
    }
    std::vector<uint8_t> prefix(file.begin(), file.begin() + info.pointData);
    // The compression record's chunk size becomes the repeated chunks' size.
    uint16_t header = 0;
    std::memcpy(&header, prefix.data() + 94, 2);
    for (size_t at = header; at + 54 <= prefix.size();) {
        uint16_t id = 0, length = 0;
        std::memcpy(&id, prefix.data() + at + 18, 2);
        std::memcpy(&length, prefix.data() + at + 20, 2);
        if (id == kLazVlrRecordId)
            std::memcpy(prefix.data() + at + 54 + 12, &size, 4);
        at += 54 + length;
    }
    const std::vector<uint8_t> built =
        assembleLazFile(prefix, total, chunks, false, LazTableMode::Table);
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char*>(built.data()), std::streamsize(built.size()));
    std::printf("%llu points in %zu chunks, %zu bytes\n", static_cast<unsigned long long>(total),
                chunks.size(), built.size());
    return 0;
}

int decode(const char* path, unsigned threads, LazFields fields, bool cpuRate) {
    const std::vector<uint8_t> file = readFile(path);
    LazFileInfo info;
    const std::string error = readLazFileInfo(file.data(), file.size(), info);
    if (!error.empty()) {
        std::fprintf(stderr, "laz-bench: %s: %s\n", path, error.c_str());
        return 1;
    }
    // What a reader keeps of each point: three coordinates and three colours.
    std::unique_ptr<float[]> points(new float[info.pointCount * 6]);
    const int rgb = info.pointFormat == 2 ? 20 : info.pointFormat == 3 ? 28 : 30;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const LazDecodeResult result =
        decodeLazFile(file.data(), file.size(), info, fields, threads,
                      [&](uint64_t first, const uint8_t* records, uint64_t count) {
                          for (uint64_t i = 0; i < count; ++i) {
                              const uint8_t* r = records + i * info.recordLength;
                              float* p = &points[(first + i) * 6];
                              int32_t xyz[3];
                              uint16_t colour[3];
                              std::memcpy(xyz, r, 12);
                              std::memcpy(colour, r + rgb, 6);
                              for (int k = 0; k < 3; ++k) {
                                  p[k] = float(xyz[k]);
                                  p[3 + k] = colour[k] * (1.0f / 65535.0f);
                              }
                          }
                      });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%.3f %llu %.2f", seconds, static_cast<unsigned long long>(result.decoded),
                double(result.decoded) / seconds / 1e6);
    if (cpuRate)
        std::printf(" %.2f", double(result.decoded) / cpu / 1e6);
    std::printf("\n");
    return result.decoded == info.pointCount ? 0 : 1;
}

// The records of a LAS file, decoded first if it is compressed; the format and record length.
bool sourceRecords(const std::vector<uint8_t>& file, std::vector<uint8_t>& records, int& format,
                   uint32_t& length) {
    if (file.size() < 375)
        return false;
    LazFileInfo info;
    if (readLazFileInfo(file.data(), file.size(), info).empty()) {
        records.assign(info.pointCount * info.recordLength, 0);
        const LazDecodeResult r =
            decodeLazFileInto(file.data(), file.size(), info, LazFields::All, 2, records.data());
        format = info.pointFormat;
        length = info.recordLength;
        return r.decoded == info.pointCount;
    }
    uint32_t offset = 0;
    uint64_t count = 0;
    uint16_t recordLength = 0;
    std::memcpy(&offset, file.data() + 96, 4);
    std::memcpy(&recordLength, file.data() + 105, 2);
    std::memcpy(&count, file.data() + 247, 8);
    format = file[104] & 0x3F;
    length = recordLength;
    if (file[25] < 4 || offset + count * length > file.size())
        return false;
    records.assign(file.begin() + offset, file.begin() + offset + count * length);
    return true;
}

int encode(const char* source, uint64_t points, uint32_t chunk) {
    std::vector<uint8_t> one;
    int format = 0;
    uint32_t length = 0;
    LazLayout layout;
    if (!sourceRecords(readFile(source), one, format, length) || one.empty() ||
        !layeredLazLayout(format, length, chunk, layout)) {
        std::fprintf(stderr, "laz-bench: %s: not a LAS 1.4 file of point format 6, 7 or 8\n",
                     source);
        return 1;
    }
    std::vector<uint8_t> records(points * length);
    for (size_t at = 0; at < records.size(); at += one.size())
        std::memcpy(records.data() + at, one.data(), std::min(one.size(), records.size() - at));
    std::vector<uint8_t> file;
    file.reserve(records.size() / 2);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const bool written =
        writeLazFile(layout, Las14Header(), {}, records.data(), points, lazMemorySink(file));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%.3f %llu %.2f %.2f %.1f%%\n", seconds, static_cast<unsigned long long>(points),
                double(points) / seconds / 1e6, double(points) / cpu / 1e6,
                100.0 * double(file.size()) / double(records.size()));
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::strtoull(argv[3], nullptr, 10), argv[4]);
    if ((argc == 5 || (argc == 6 && std::strcmp(argv[5], "cpu") == 0)) &&
        std::strcmp(argv[1], "decode") == 0)
        return decode(argv[2], unsigned(std::atoi(argv[3])),
                      std::strcmp(argv[4], "all") == 0 ? LazFields::All : LazFields::Viewer,
                      argc == 6);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "encode") == 0)
        return encode(argv[2], std::strtoull(argv[3], nullptr, 10),
                      argc == 5 ? uint32_t(std::strtoul(argv[4], nullptr, 10))
                                : kLazDefaultChunkSize);
    std::fprintf(stderr, "usage: laz-bench make SOURCE.laz POINTS OUT.laz\n"
                         "       laz-bench decode FILE THREADS all|viewer [cpu]\n"
                         "       laz-bench encode SOURCE POINTS [CHUNK]\n");
    return 1;
}
