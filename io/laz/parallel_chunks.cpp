// io/laz/parallel_chunks.cpp - batches of jobs shared out between the threads, each batch taken
// in order on a pool thread while the next is made.
#include "io/laz/parallel_chunks.h"

#include "threads/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

// Jobs a thread has in a batch: enough that one long job leaves the others busy with the rest.
constexpr int64_t kJobsPerThread = 8;

} // namespace

bool CompressedChunks::add(LazChunkEncoder& encoder, const uint8_t* records, uint32_t count,
                           int64_t tag) {
    if (used_ == chunks_.size())
        chunks_.emplace_back();
    Chunk& chunk = chunks_[used_];
    if (!encoder.encode(records, count, chunk.bytes))
        return false;
    chunk.points = count;
    chunk.tag = tag;
    ++used_;
    return true;
}

bool compressChunksInOrder(const LazLayout& layout, int64_t jobs, int threads, const ChunkJob& job,
                           const ChunkTaker& take) {
    threads = std::clamp(threads, 1, kMostParts);
    std::vector<std::unique_ptr<LazChunkEncoder>> encoders;
    for (int i = 0; i < threads; ++i) {
        encoders.push_back(std::make_unique<LazChunkEncoder>(layout));
        if (!encoders.back()->valid())
            return false;
    }
    const int64_t batch = threads * kJobsPerThread;
    // Two sets of outputs: one being taken while the next batch is made into the other.
    std::vector<CompressedChunks> outputs[2] = {std::vector<CompressedChunks>(size_t(batch)),
                                                std::vector<CompressedChunks>(size_t(batch))};
    std::atomic<bool> failed{false};
    bool taken = true; // the last take's outcome, read once its task has been waited for
    std::unique_ptr<PoolTask> taking;
    int side = 0;
    for (int64_t start = 0; start < jobs; start += batch, side ^= 1) {
        const int64_t n = std::min(batch, jobs - start);
        std::vector<CompressedChunks>& made = outputs[side];
        std::atomic<int64_t> next{0};
        runInParts(threads, threads, [&](int64_t, int64_t, int worker) {
            for (int64_t k; !failed.load(std::memory_order_relaxed) && (k = next++) < n;) {
                made[size_t(k)].clear();
                if (!job(start + k, worker, *encoders[size_t(worker)], made[size_t(k)]))
                    failed = true;
            }
        });
        if (taking)
            taking->wait();
        if (failed || !taken)
            break;
        // The batch by pointer: the task outlives this pass of the loop.
        const auto takeBatch = [&take, &taken, batchMade = &made, start, n] {
            for (int64_t k = 0; k < n && taken; ++k)
                taken = take(start + k, (*batchMade)[size_t(k)]);
        };
        taking = std::make_unique<PoolTask>();
        if (!taking->start(takeBatch)) {
            taking.reset();
            takeBatch();
        }
    }
    if (taking)
        taking->wait();
    return !failed && taken;
}
