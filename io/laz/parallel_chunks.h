// io/laz/parallel_chunks.h - chunks made and compressed on the pool's threads, handed on in
// order, so that a file is written in sequence while every core compresses.
#pragma once

#include "io/laz/chunk_encoder.h"

#include <cstdint>
#include <functional>
#include <vector>

// What one job made: compressed chunks in the order they go into the file, each with a tag of
// the job's choosing (which node of an octree it is, say). Its storage is kept from job to job.
class CompressedChunks {
public:
    struct Chunk {
        std::vector<uint8_t> bytes;
        uint32_t points = 0;
        int64_t tag = 0;
    };

    // Compresses count records (count >= 1) as the next chunk; false when the encoder refuses.
    bool add(LazChunkEncoder& encoder, const uint8_t* records, uint32_t count, int64_t tag = 0);
    void clear() { used_ = 0; }
    size_t size() const { return used_; }
    const Chunk& operator[](size_t i) const { return chunks_[i]; }

private:
    std::vector<Chunk> chunks_;
    size_t used_ = 0;
};

// A job: makes its chunks into out with the encoder of the thread it runs on; worker (below
// kMostParts) names that thread, for state the job keeps per thread. False fails the run.
using ChunkJob =
    std::function<bool(int64_t job, int worker, LazChunkEncoder& encoder, CompressedChunks& out)>;
// Takes a job's chunks, one job at a time and in order of job; false fails the run.
using ChunkTaker = std::function<bool(int64_t job, const CompressedChunks& chunks)>;

// Runs jobs [0, jobs) on up to `threads` threads (each with its own encoder of the layout), a
// batch at a time, and hands each job's chunks to take in order, on one thread at a time (the
// caller's or a pool thread), while the next batch is being made. What it holds at once is two
// batches of a few jobs a thread, whatever the number of jobs. False when the layout cannot be
// encoded or a job or take failed; no job is started after a failure.
bool compressChunksInOrder(const LazLayout& layout, int64_t jobs, int threads, const ChunkJob& job,
                           const ChunkTaker& take);
