// bench/reader_bench.cpp - one load of a point file by one reader, or one run of a program, with
// its time and peak resident memory: each measured alone in its own process.
//
//   reader-bench fscanf|fast POINT_FILE   loads the file; prints seconds, peak KiB and the count
//   reader-bench run PROGRAM [ARGS...]    runs the program, its output discarded; prints its
//                                         seconds and peak KiB
#include "io/native/fast_reader.h"
#include "io/native/scanf_reader.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int run(char** args) {
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(args[0], args);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::perror("reader-bench");
        return 1;
    }
    const double seconds = since(start);
    std::printf("%.3f %ld\n", seconds, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0)
        return run(argv + 2);
    const bool fast = argc == 3 && std::strcmp(argv[1], "fast") == 0;
    if (argc != 3 || (!fast && std::strcmp(argv[1], "fscanf") != 0)) {
        std::fprintf(stderr, "usage: reader-bench fscanf|fast POINT_FILE\n"
                             "       reader-bench run PROGRAM [ARGS...]\n");
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const ReadResult read = fast ? readPointFile(argv[2]) : readPointFileScanf(argv[2]);
    const double seconds = since(start);
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld %d\n", seconds, usage.ru_maxrss, static_cast<int>(read.count));
    releasePoints(read.points);
    return read.status == ReadStatus::Read ? 0 : 1;
}
