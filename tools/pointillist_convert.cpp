// tools/pointillist_convert.cpp - writes any cloud the viewer reads as a native point file
// (.txt), binary PLY (.ply), LAS 1.4 (.las), compressed LAS 1.4 (.laz) or an octree LAZ file
// (.copc.laz).
#include "io/cloud_load.h"
#include "io/cloud_writer.h"
#include "io/copc/copc_cloud_writer.h"
#include "io/las/las_writer.h"
#include "io/las/laz_cloud_writer.h"
#include "io/point_cloud.h"
#include "threads/worker_pool.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum class Output { Native, Ply, Las, Laz, Copc };

bool endsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((text[text.size() - n + i] | 0x20) != tail[i])
            return false;
    return true;
}

bool outputOf(const std::string& path, Output& output) {
    if (endsWith(path, ".copc.laz"))
        output = Output::Copc;
    else if (endsWith(path, ".laz"))
        output = Output::Laz;
    else if (endsWith(path, ".las"))
        output = Output::Las;
    else if (endsWith(path, ".ply"))
        output = Output::Ply;
    else if (endsWith(path, ".txt"))
        output = Output::Native;
    else
        return false;
    return true;
}

// Only the native format keeps positions that are not finite; LAS has no place for them.
void sayLeftOut(const char* path, int64_t leftOut) {
    if (leftOut > 0)
        std::fprintf(stderr,
                     "pointillist-convert: %s: %lld points without a finite position left out\n",
                     path, static_cast<long long>(leftOut));
}

// The compressed outputs, which may reorder the cloud and leave points out.
bool writeCompressed(PointCloud& cloud, Output output, FILE* out, const char* path) {
    CloudWriteReport report;
    const LazByteSink sink = lazFileSink(out);
    bool written;
    if (output == Output::Copc) {
        CopcCloudOptions options;
        options.threads = usableCores();
        written = writeCopcCloud(cloud, sink, options, &report);
    } else {
        written = writeLazCloud(cloud, sink, usableCores(), &report);
    }
    if (written)
        sayLeftOut(path, report.leftOut);
    return written;
}

// Takes every `flag` out of argv, closing up the rest; whether there was one.
bool takeFlag(int& argc, char** argv, const char* flag) {
    int kept = 1;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) != 0)
            argv[kept++] = argv[i];
    const bool found = kept != argc;
    argc = kept;
    return found;
}

// A native point file keeps 32-bit floats: a georeferenced cloud would come back rounded
// coarser than its own file resolves, which the user is asked to accept in so many words.
bool refuseRounding(const PointCloud& cloud, const char* output) {
    const FloatRounding rounding = floatRounding(cloud);
    if (!rounding.exceeds)
        return false;
    std::fprintf(stderr,
                 "pointillist-convert: %s: a point file holds 32-bit floats, which would move %c "
                 "by up to %.3g (the input resolves %.3g); .ply and .las keep the coordinates, "
                 "--allow-rounding writes it anyway\n",
                 output, "xyz"[rounding.axis], rounding.largest, rounding.tolerance);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const bool allowRounding = takeFlag(argc, argv, "--allow-rounding");
    if (argc != 3) {
        std::fprintf(stderr, "usage: pointillist-convert [--allow-rounding] INPUT "
                             "OUTPUT.txt|OUTPUT.ply|OUTPUT.las|OUTPUT.laz|OUTPUT.copc.laz\n");
        return 1;
    }
    Output output;
    if (!outputOf(argv[2], output)) {
        std::fprintf(stderr,
                     "pointillist-convert: %s: the output must end in .txt, .ply, .las, .laz or "
                     ".copc.laz\n",
                     argv[2]);
        return 1;
    }
    PointCloud cloud;
    loadCloudOrExit(argv[1], cloud);
    if (!allowRounding && endsWith(argv[2], ".txt") && refuseRounding(cloud, argv[2])) {
        releasePoints(cloud.points);
        return 1;
    }
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "pointillist-convert: cannot write %s\n", argv[2]);
        releasePoints(cloud.points);
        return 1;
    }
    bool written;
    switch (output) {
        case Output::Native:
            written = writeNative(cloud, out);
            break;
        case Output::Ply:
            written = writeBinaryPly(cloud, out);
            break;
        case Output::Las: {
            int64_t leftOut = 0;
            written = writeLas(cloud, out, leftOut);
            if (written)
                sayLeftOut(argv[2], leftOut);
            break;
        }
        default:
            written = writeCompressed(cloud, output, out, argv[2]);
            break;
    }
    const bool closed = std::fclose(out) == 0;
    releasePoints(cloud.points);
    if (!written || !closed) {
        std::fprintf(stderr, "pointillist-convert: writing %s failed\n", argv[2]);
        return 1;
    }
    return 0;
}
