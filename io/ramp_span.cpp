// io/ramp_span.cpp - percentiles by the bits of the values, and the ramp's ends from them.
#include "io/ramp_span.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A key that orders as the floats do: the sign bit flipped for positives, every bit for
// negatives.
uint32_t orderKey(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

float fromKey(uint32_t key) {
    const uint32_t bits = (key & 0x80000000u) ? key & 0x7FFFFFFFu : ~key;
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The bin holding the value of the given rank (1-based) and how many values lie in the bins
// before it.
uint32_t binOfRank(const std::vector<int64_t>& bins, int64_t rank, int64_t* before) {
    int64_t seen = 0;
    for (uint32_t bin = 0; bin < bins.size(); ++bin) {
        if (seen + bins[bin] >= rank) {
            *before = seen;
            return bin;
        }
        seen += bins[bin];
    }
    *before = seen;
    return static_cast<uint32_t>(bins.size() - 1);
}

} // namespace

double spanFraction(double value, const RampSpan& span, double flat) {
    if (value < span.low)
        return 0.0;
    if (value > span.high)
        return 1.0;
    const double width = double(span.high) - span.low;
    return width > 0.0 ? (value - span.low) / width : flat;
}

RampSpan settleRampSpan(float lowest, float low, float high, float highest) {
    const double reach = (double(high) - low) / 10.0;
    RampSpan span{low, high};
    if (double(low) - lowest <= reach)
        span.low = lowest;
    if (double(highest) - high <= reach)
        span.high = highest;
    return span;
}

void PercentileSearch::count(float value) {
    if (std::isnan(value))
        return;
    ++coarse_[orderKey(value) >> 16];
    ++counted_;
    lowest_ = value < lowest_ ? value : lowest_;
    highest_ = value > highest_ ? value : highest_;
}

bool PercentileSearch::startRefining() {
    if (counted_ == 0)
        return false;
    // At least ceil(n p) values at or below the percentile, and at least one.
    lowRank_ = std::max<int64_t>(1, (counted_ + 99) / 100);
    highRank_ = std::max<int64_t>(1, (counted_ * 99 + 99) / 100);
    lowTop_ = binOfRank(coarse_, lowRank_, &belowLowTop_);
    highTop_ = binOfRank(coarse_, highRank_, &belowHighTop_);
    fineLow_.assign(65536, 0);
    fineHigh_.assign(65536, 0);
    return true;
}

void PercentileSearch::refine(float value) {
    if (std::isnan(value))
        return;
    const uint32_t key = orderKey(value);
    if (key >> 16 == lowTop_)
        ++fineLow_[key & 0xFFFFu];
    if (key >> 16 == highTop_)
        ++fineHigh_[key & 0xFFFFu];
}

RampSpan PercentileSearch::span() const {
    if (counted_ == 0)
        return RampSpan{};
    int64_t unused = 0;
    const float low =
        fromKey(lowTop_ << 16 | binOfRank(fineLow_, lowRank_ - belowLowTop_, &unused));
    const float high =
        fromKey(highTop_ << 16 | binOfRank(fineHigh_, highRank_ - belowHighTop_, &unused));
    return settleRampSpan(lowest_, low, high, highest_);
}
