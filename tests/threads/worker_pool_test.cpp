// tests/threads/worker_pool_test.cpp - the pool: how a range is split, parts that really run
// side by side, calls from several threads and from inside a part, tasks beside their caller,
// threads kept rather than started anew, and the count of usable cores.
#include "threads/worker_pool.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// The threads of this process, as the kernel lists them.
int threadsOfProcess() {
    DIR* tasks = opendir("/proc/self/task");
    int count = 0;
    while (dirent* entry = tasks ? readdir(tasks) : nullptr)
        count += entry->d_name[0] != '.';
    if (tasks)
        closedir(tasks);
    return count;
}

// Waits, with a limit, until `arrived` reaches `all`; whether it did.
bool meet(std::atomic<int>& arrived, int all) {
    ++arrived;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (arrived.load() < all) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// Each row: the range, the parts asked and the smallest part; the parts used are consecutive,
// cover every item once, and their number follows from the arguments alone.
TEST(RunInParts, SplitsTheRangeIntoConsecutivePartsThatCoverItOnce) {
    struct Case {
        int64_t count;
        int parts;
        int64_t smallest;
        int used;
    };
    const Case cases[] = {
        {0, 4, 1, 1},
        {1, 1, 1, 1},
        {3, 8, 1, 4},
        {1000, 3, 1, 3},
        {1000, 20, 1, 8},
        {1000, 0, 1, 1},
        {1000, -2, 1, 1},
        {1 << 18, 8, 1 << 18, 2},
        {(1 << 18) - 1, 8, 1 << 18, 1},
        {5 << 18, 8, 1 << 18, 6},
        {100, 4, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items, " << c.parts << " parts, "
                                        << c.smallest << " the smallest");
        std::vector<std::atomic<int>> visits(static_cast<size_t>(c.count));
        std::mutex mutex;
        std::vector<std::pair<int64_t, int64_t>> ranges(kMostParts, {-1, -1});
        const int used =
            runInParts(c.count, c.parts, c.smallest, [&](int64_t begin, int64_t end, int part) {
                for (int64_t i = begin; i < end; ++i)
                    ++visits[static_cast<size_t>(i)];
                std::lock_guard<std::mutex> lock(mutex);
                ranges[static_cast<size_t>(part)] = {begin, end};
            });
        EXPECT_EQ(used, c.used);
        for (int64_t i = 0; i < c.count; ++i)
            ASSERT_EQ(visits[static_cast<size_t>(i)].load(), 1) << "item " << i;
        int64_t at = 0;
        for (int part = 0; part < used; ++part) {
            EXPECT_EQ(ranges[size_t(part)].first, at) << "part " << part;
            EXPECT_GE(ranges[size_t(part)].second, at) << "part " << part;
            at = ranges[size_t(part)].second;
        }
        EXPECT_EQ(at, c.count);
    }
}

// Every part of a split waits for all the others to start: a pool that ran them one after
// another would never get past the first.
TEST(RunInParts, PartsRunSideBySideOnThreadsOfTheirOwn) {
    std::atomic<int> arrived{0};
    std::atomic<int> met{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;
    const int used = runInParts(kMostParts, kMostParts, [&](int64_t, int64_t, int) {
        met += meet(arrived, kMostParts);
        std::lock_guard<std::mutex> lock(mutex);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(used, kMostParts);
    EXPECT_EQ(met.load(), kMostParts);
    EXPECT_EQ(threads.size(), size_t(kMostParts));
}

// Several threads split their own ranges at once, and parts split theirs again: every call
// covers its range and returns.
TEST(RunInParts, CallsFromSeveralThreadsAndFromInsidePartsAllFinish) {
    constexpr int kCallers = 4;
    constexpr int64_t kItems = 4000;
    std::vector<std::vector<std::atomic<int>>> visits(kCallers);
    for (auto& v : visits)
        v = std::vector<std::atomic<int>>(kItems);
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c)
        callers.emplace_back([&, c] {
            for (int round = 0; round < 20; ++round)
                runInParts(kItems / 100, 4, [&](int64_t begin, int64_t end, int) {
                    runInParts((end - begin) * 100, 3, [&](int64_t from, int64_t to, int) {
                        for (int64_t i = from; i < to; ++i)
                            ++visits[size_t(c)][size_t(begin * 100 + i)];
                    });
                });
        });
    for (std::thread& caller : callers)
        caller.join();
    for (int c = 0; c < kCallers; ++c)
        for (int64_t i = 0; i < kItems; ++i)
            ASSERT_EQ(visits[size_t(c)][size_t(i)].load(), 20) << "caller " << c << " item " << i;
}

// Splits come and go without new threads each time: the pool keeps the ones it has.
TEST(RunInParts, RepeatedSplitsReuseThePoolsThreads) {
    const auto split = [] {
        std::atomic<int> arrived{0};
        runInParts(4, 4, [&](int64_t, int64_t, int) { meet(arrived, 4); });
    };
    split();
    const int before = threadsOfProcess();
    for (int i = 0; i < 200; ++i)
        split();
    EXPECT_EQ(threadsOfProcess(), before);
}

// A task runs beside its caller (it waits for the caller to answer), on another thread; wait
// returns once it has ended, with what it wrote visible; the destructor waits too.
TEST(PoolTask, RunsBesideItsCallerAndWaitReturnsWhenItEnds) {
    std::atomic<bool> asked{false}, answered{false};
    std::thread::id ranOn;
    int written = 0;
    {
        PoolTask task;
        ASSERT_TRUE(task.start([&] {
            ranOn = std::this_thread::get_id();
            asked = true;
            while (!answered)
                std::this_thread::yield();
            written = 42;
        }));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!asked && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(asked.load());
        answered = true;
        task.wait();
        EXPECT_EQ(written, 42);
        EXPECT_NE(ranOn, std::this_thread::get_id());
        task.wait();
    }
    int late = 0;
    {
        PoolTask task;
        ASSERT_TRUE(task.start([&] { late = 7; }));
    }
    EXPECT_EQ(late, 7);
    PoolTask never;
    never.wait();
}

// The count follows the affinity mask: a thread allowed one processor is told 1.
TEST(UsableCores, BoundedByTheProcessorsAndTheAffinityMask) {
    const int cores = usableCores();
    EXPECT_GE(cores, 1);
    if (std::thread::hardware_concurrency() > 0) {
        EXPECT_LE(cores, static_cast<int>(std::thread::hardware_concurrency()));
    }
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = 0;
    while (!CPU_ISSET(first, &saved))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(usableCores(), 1);
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(usableCores(), cores);
}
