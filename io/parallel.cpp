// io/parallel.cpp - pthreads rather than std::thread: a thread that cannot be had is no error.
#include "io/parallel.h"

#include <algorithm>

#include <pthread.h>

namespace {

// Below this many items a second thread costs more than it saves.
constexpr int64_t kMinimumPart = 1 << 18;
constexpr int kMaximumParts = kMostParts;

struct Part {
    const std::function<void(int64_t, int64_t, int)>* work;
    int64_t begin, end;
    int index;
};

void* runPart(void* argument) {
    const Part* part = static_cast<Part*>(argument);
    (*part->work)(part->begin, part->end, part->index);
    return nullptr;
}

} // namespace

int runInParts(int64_t count, int threads, const std::function<void(int64_t, int64_t, int)>& work) {
    int parts = static_cast<int>(std::min<int64_t>(
        {static_cast<int64_t>(std::max(threads, 1)), kMaximumParts, count / kMinimumPart + 1}));
    Part described[kMaximumParts];
    pthread_t started[kMaximumParts];
    bool running[kMaximumParts] = {};
    for (int i = 0; i < parts; ++i)
        described[i] = {&work, count * i / parts, count * (i + 1) / parts, i};
    for (int i = 0; i + 1 < parts; ++i)
        running[i] = pthread_create(&started[i], nullptr, runPart, &described[i]) == 0;
    // Parts whose thread could not start run here, in order.
    for (int i = 0; i + 1 < parts; ++i)
        if (!running[i])
            runPart(&described[i]);
    runPart(&described[parts - 1]);
    for (int i = 0; i + 1 < parts; ++i)
        if (running[i])
            pthread_join(started[i], nullptr);
    return parts;
}
