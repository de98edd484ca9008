// io/native/body_split.h - the second thread of a native body split in two.
#pragma once

#include "io/native/block_stream.h"
#include "io/point_records.h"
#include "threads/worker_pool.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace native {

// The second thread of a split body. Numbers are separated by white space in every file that
// the in-place parser takes, so the runs of non-blank characters before a blank are exactly
// the numbers before it: the thread counts them from the body's start up to the first blank at
// or after `from`, which gives the index of the first number after that blank. It then parses
// from there with the in-place parser alone and stops at the first text that parser doesn't
// take; the first thread, once it reaches the same blank with the same index, carries on from
// where this one stopped.
struct Helper {
    BlockSource source;
    size_t blockBytes = 0;
    int64_t bodyStart = 0;
    int64_t from = 0;
    int64_t limit = 0;
    PointRecord* points = nullptr;
    PoolTask task;

    std::atomic<bool> cancelled{false};
    std::atomic<int64_t> bytesParsed{0};
    std::atomic<int64_t> numbersParsed{0};

    std::mutex mutex;
    std::condition_variable located;
    bool isLocated = false;
    int64_t blankAt = INT64_MAX; // INT64_MAX when the thread found none
    int64_t firstIndex = 0;

    // Valid after task.wait().
    int64_t stopOffset = 0;
    int64_t stopIndex = 0;

    // The thread's body; start it with startHelper.
    void run();
    void publish(int64_t blank, int64_t index) {
        std::lock_guard<std::mutex> lock(mutex);
        blankAt = blank;
        firstIndex = index;
        isLocated = true;
        located.notify_all();
    }
    int64_t waitForBlank() {
        std::unique_lock<std::mutex> lock(mutex);
        located.wait(lock, [this] { return isLocated; });
        return blankAt;
    }
};

// Starts helper->run on a pool thread; false when no thread can be had.
bool startHelper(Helper* helper);
// Cancels the helper, waits for its thread and deletes it.
void stopHelper(Helper* helper);

} // namespace native
