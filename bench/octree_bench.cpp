// bench/octree_bench.cpp - the octree built over one point file after its load: its time, its
// table and the memory it takes beside the records.
//
//   octree-bench POINT_FILE [THREADS]
//
// Prints one line of key=value figures: points, the load's seconds, the build's seconds, nodes,
// depth, the root's points and the largest node's, the table's bytes, the most temporary memory
// the build held (table included) and that as a share of the records' memory (extra_pct), and
// the growth of the resident memory over the build (rss_growth_mb).
#include "io/cloud_load.h"
#include "io/octree/octree_builder.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The resident set now, in kilobytes, from /proc.
long residentKib() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kib = std::atol(line + 6);
    std::fclose(status);
    return kib;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: octree-bench POINT_FILE [THREADS]\n");
        return 1;
    }
    const int threads = argc == 3 ? std::max(1, std::atoi(argv[2])) : usableCores();
    PointCloud cloud;
    const Clock::time_point loadStarted = Clock::now();
    loadCloudOrExit(argv[1], cloud);
    const double loaded = since(loadStarted);

    const long before = residentKib();
    OctreeOptions options;
    options.threads = threads;
    Octree tree;
    OctreeBuildStats stats;
    const Clock::time_point buildStarted = Clock::now();
    const double cpuStarted = processSeconds();
    if (!buildOctree(cloud.points, cloud.count, &cloud.attributes, options, tree, &stats)) {
        std::fprintf(stderr, "octree-bench: the build failed\n");
        return 1;
    }
    const double built = since(buildStarted);
    const double cpu = processSeconds() - cpuStarted;
    const long after = residentKib();
    uint32_t largest = 0;
    for (const OctreeNode& node : tree.nodes)
        largest = std::max(largest, node.count);
    const double recordBytes = double(cloud.count) * sizeof(PointRecord);
    std::printf(
        "points=%d load_s=%.3f build_s=%.3f build_cpu_s=%.3f nodes=%zu depth=%d root=%u largest=%u "
        "table_kb=%.0f temporary_kb=%.0f extra_pct=%.2f rss_growth_mb=%.1f\n",
        static_cast<int>(cloud.count), loaded, built, cpu, tree.nodes.size(), tree.depth(),
        tree.nodes.empty() ? 0u : tree.nodes[0].count, largest, tree.bytes() / 1024.0,
        stats.temporaryBytes / 1024.0,
        recordBytes > 0 ? 100.0 * double(stats.temporaryBytes) / recordBytes : 0.0,
        (after - before) / 1024.0);
    releasePoints(cloud.points);
    return 0;
}
