// tools/pointillist_convert.cpp - writes any cloud the viewer reads as a native point file
// (.txt) or as binary PLY (.ply).
#include "io/cloud_load.h"
#include "io/cloud_writer.h"
#include "io/point_cloud.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool endsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((text[text.size() - n + i] | 0x20) != tail[i])
            return false;
    return true;
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
        std::fprintf(stderr, "usage: pointillist-convert INPUT OUTPUT.txt|OUTPUT.ply\n");
        return 1;
    }
    const std::string output = argv[2];
    const bool ply = endsWith(output, ".ply");
    if (!ply && !endsWith(output, ".txt")) {
        std::fprintf(stderr, "pointillist-convert: %s: the output must end in .txt or .ply\n",
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
    const bool written = ply ? writeBinaryPly(cloud, out) : writeNative(cloud, out);
    const bool closed = std::fclose(out) == 0;
    releasePoints(cloud.points);
    if (!written || !closed) {
        std::fprintf(stderr, "pointillist-convert: writing %s failed\n", argv[2]);
        return 1;
    }
    return 0;
}
