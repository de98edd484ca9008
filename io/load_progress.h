// io/load_progress.h - the one-line progress indicator of a long load, on standard error.
#pragma once

#include "io/read_result.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <utility>

// Shows how far a load has got once it has run for half a second: percent of the file and
// points per second, rewritten in place on one line and erased when the load ends. Only when
// its stream is a terminal; standard output is never touched. update runs on the thread that
// parses, start and finish on the one that waits for it. The clock is the steady clock unless
// a test gives its own.
class LoadProgress {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    explicit LoadProgress(FILE* stream = stderr, Now now = Clock::now)
        : stream_(stream), now_(std::move(now)) {}
    void start();
    void update(const ReadProgress& progress);
    void finish();

private:
    FILE* stream_;
    Now now_;
    bool terminal_ = false;
    Clock::time_point started_;
    Clock::time_point lastShown_;
    size_t shownLength_ = 0; // characters on the line now, 0 when nothing is shown
};
