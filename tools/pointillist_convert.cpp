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

} // namespace

int main(int argc, char** argv) {
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
