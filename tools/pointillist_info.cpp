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

    std::printf("points: %d\n", static_cast<int>(set.count));
    std::printf("min: %.9g %.9g %.9g\n", set.nearCorner[0], set.nearCorner[1], set.farCorner[2]);
    std::printf("max: %.9g %.9g %.9g\n", set.farCorner[0], set.farCorner[1], set.nearCorner[2]);
    std::printf("centroid: %.9g %.9g %.9g\n", set.centroid[0], set.centroid[1], set.centroid[2]);
    std::printf("view-distance: %.9g\n", set.viewDistance);
    releasePoints(set.points);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
