// bench/bench_figures.h - what the benches report their figures with: the median of runs and the
// process's resident memory.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A line of /proc/self/status in megabytes: VmRSS now, VmHWM the peak.
inline double statusMb(const char* key) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0.0;
    char line[256];
    long kib = 0;
    const size_t length = std::strlen(key);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, key, length) == 0)
            kib = std::atol(line + length);
    std::fclose(status);
    return kib / 1024.0;
}
