// threads/worker_pool.h - the process's one pool of threads: work split in parts, and tasks that
// run beside their caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>

// Every core this process may run on: the processors the system has, bounded by the affinity
// mask of the calling thread (as taskset or a container's cpuset narrows it). At least 1.
int usableCores();

// The most parts runInParts splits a range into.
constexpr int kMostParts = 8;

using PartWork = std::function<void(int64_t begin, int64_t end, int part)>;

// Runs work(begin, end, part) over [0, count) in consecutive parts and returns how many: as many
// as `parts` asks, at most kMostParts, and fewer when a part would hold fewer than smallestPart
// items (a range of fewer items than that is one part). The number of parts depends on the
// arguments alone. They run on pool threads and on the caller's, which takes every part no pool
// thread has started, so no part waits for a thread; it returns once every part has run, what
// they wrote visible to the caller.
int runInParts(int64_t count, int parts, int64_t smallestPart, const PartWork& work);
inline int runInParts(int64_t count, int parts, const PartWork& work) {
    return runInParts(count, parts, 1, work);
}

// What the pool's queue holds: the work, and how many pool threads hold it, queued or running.
struct PoolEntry {
    std::function<void()> run;
    int queued = 0;
    int running = 0;
    std::condition_variable settled;
};

// Work that goes on beside its caller on a pool thread, such as a read behind the windows or the
// second half of a body. The pool grows by a thread when none is free, and keeps it.
class PoolTask {
public:
    PoolTask() = default;
    // Waits for the work, as wait does.
    ~PoolTask() { wait(); }
    PoolTask(const PoolTask&) = delete;
    PoolTask& operator=(const PoolTask&) = delete;

    // Starts work on a pool thread; false, with nothing started, when no thread can be had.
    // Once per task.
    bool start(std::function<void()> work);
    // Returns once the started work has ended, at once when none was started; what the work
    // wrote is then visible to the caller.
    void wait();

private:
    PoolEntry entry_;
    bool started_ = false;
};
