// tools/pointillist_info.cpp - loads a point file with the viewer's readers and prints what the
// viewer derives from it, without opening a window.
#include "io/cloud_load.h"
#include "io/point_cloud.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pointillist-info POINT_FILE\n");
        return 1;
    }
    // Load failures print the viewer's messages and end with its status.
    PointCloud set;
    loadCloudOrExit(argv[1], set);
    set.computeViewDistance(kFramingFieldOfViewX);

    // Box and centroid in file coordinates: the shift is added back.
    const double* s = set.shift;
    std::printf("points: %d\n", static_cast<int>(set.count));
    std::printf("min: %.9g %.9g %.9g\n", set.nearCorner[0] + s[0], set.nearCorner[1] + s[1],
                set.farCorner[2] + s[2]);
    std::printf("max: %.9g %.9g %.9g\n", set.farCorner[0] + s[0], set.farCorner[1] + s[1],
                set.nearCorner[2] + s[2]);
    std::printf("centroid: %.9g %.9g %.9g\n", set.centroid[0] + s[0], set.centroid[1] + s[1],
                set.centroid[2] + s[2]);
    std::printf("view-distance: %.9g\n", set.viewDistance);
    // The native format's output stays these five lines.
    if (set.format != Format::Native) {
        static const char* kColours[] = {"rgb", "intensity", "none"};
        std::printf("format: %s\n", set.formatDescription.c_str());
        std::printf("colour: %s\n", kColours[static_cast<int>(set.colour)]);
        std::printf("dropped: %lld\n", static_cast<long long>(set.dropped));
        if (set.shifted)
            std::printf("shift: %.17g %.17g %.17g\n", s[0], s[1], s[2]);
    }
    releasePoints(set.points);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
