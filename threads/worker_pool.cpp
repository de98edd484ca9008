// threads/worker_pool.cpp - detached pthreads serving one queue; pthreads rather than std::thread
// because a thread that cannot be had is no error here: its work runs elsewhere.
#include "threads/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sched.h>

namespace {

// A bound on the pool, far above what the callers ask of it at once, so that a fault cannot
// start threads without end.
constexpr int kMostThreads = 64;

// The threads live for the process: they are never joined, and the pool is never destroyed, so
// that no thread can outlive what it serves while the process exits.
class Pool {
public:
    // Queues `copies` references to entry, each with a thread to take it; returns how many were
    // queued, fewer when no more threads can be had.
    int queue(PoolEntry& entry, int copies);
    // Returns once no pool thread holds entry. With takeBack the references not yet taken are
    // removed first; otherwise they are waited for.
    void settle(PoolEntry& entry, bool takeBack);

private:
    static void* serve(void* pool);
    void serveQueue();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<PoolEntry*> queue_;
    // Threads that will look at the queue before they next sleep, or sleep on it: never fewer
    // than the references queued, so that each has a thread.
    int waiting_ = 0;
    int threads_ = 0;
};

Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

int Pool::queue(PoolEntry& entry, int copies) {
    std::lock_guard<std::mutex> lock(mutex_);
    int queued = 0;
    for (; queued < copies; ++queued) {
        if (waiting_ <= static_cast<int>(queue_.size())) {
            pthread_attr_t attributes;
            pthread_t thread;
            if (threads_ == kMostThreads || pthread_attr_init(&attributes) != 0)
                break;
            pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
            const bool started = pthread_create(&thread, &attributes, serve, this) == 0;
            pthread_attr_destroy(&attributes);
            if (!started)
                break;
            ++threads_;
            ++waiting_;
        }
        queue_.push_back(&entry);
        ++entry.queued;
    }
    for (int i = 0; i < queued; ++i)
        wake_.notify_one();
    return queued;
}

void Pool::settle(PoolEntry& entry, bool takeBack) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (takeBack && entry.queued) {
        queue_.erase(std::remove(queue_.begin(), queue_.end(), &entry), queue_.end());
        entry.queued = 0;
    }
    entry.settled.wait(lock, [&entry] { return entry.queued == 0 && entry.running == 0; });
}

void* Pool::serve(void* pool) {
    static_cast<Pool*>(pool)->serveQueue();
    return nullptr;
}

void Pool::serveQueue() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !queue_.empty(); });
        PoolEntry* entry = queue_.front();
        queue_.pop_front();
        --waiting_;
        --entry->queued;
        ++entry->running;
        lock.unlock();
        entry->run();
        lock.lock();
        ++waiting_;
        // The entry's owner may return, and destroy it, as soon as the lock is let go.
        if (--entry->running == 0 && entry->queued == 0)
            entry->settled.notify_all();
    }
}

} // namespace

int usableCores() {
    int cores = static_cast<int>(std::thread::hardware_concurrency());
    cpu_set_t allowed;
    // More processors than a cpu_set_t holds fail here; the system's count stands then.
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        cores = cores > 0 ? std::min(cores, CPU_COUNT(&allowed)) : CPU_COUNT(&allowed);
    return std::max(cores, 1);
}

int runInParts(int64_t count, int parts, int64_t smallestPart, const PartWork& work) {
    parts =
        static_cast<int>(std::min<int64_t>({static_cast<int64_t>(std::max(parts, 1)), kMostParts,
                                            count / std::max<int64_t>(smallestPart, 1) + 1}));
    if (parts == 1) {
        work(0, count, 0);
        return 1;
    }
    std::atomic<int> next{0};
    PoolEntry entry;
    entry.run = [&] {
        for (int part; (part = next.fetch_add(1)) < parts;)
            work(count * part / parts, count * (part + 1) / parts, part);
    };
    pool().queue(entry, parts - 1);
    entry.run();
    pool().settle(entry, true);
    return parts;
}

bool PoolTask::start(std::function<void()> work) {
    entry_.run = std::move(work);
    started_ = pool().queue(entry_, 1) == 1;
    return started_;
}

void PoolTask::wait() {
    if (started_)
        pool().settle(entry_, false);
}
