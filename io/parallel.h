// io/parallel.h - a range of work split over threads, for the binary decoders.
#pragma once

#include <cstdint>
#include <functional>

// The most parts runInParts splits a range into.
constexpr int kMostParts = 8;

// Runs work(begin, end, part) over [0, count) in `threads` consecutive parts, the last on the
// calling thread; fewer parts when threads cannot be had or the range is small. Returns the
// number of parts used.
int runInParts(int64_t count, int threads, const std::function<void(int64_t, int64_t, int)>& work);
