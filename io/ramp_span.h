// io/ramp_span.h - the values a colour ramp runs between: the 1st and 99th percentiles, so that
// a few outliers do not squeeze the rest of the cloud into one colour.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

// The ramp's ends; values outside take the colour of the nearer end. Both 0 without values.
struct RampSpan {
    float low = 0.0f;
    float high = 0.0f;
};

// Where a value lies along the span: 0 at or below low, 1 at or above high. A span of one
// value gives 0 below it, 1 above and `flat` on it.
double spanFraction(double value, const RampSpan& span, double flat);

// The ends from the extremes and the percentiles of the values (the lowest value with at
// least 1 %, resp. 99 %, of them at or below it). An end is the percentile unless the values
// beyond it reach no further than a tenth of the span between the percentiles: then no value
// there is an outlier and the end is the extreme, so a cloud without outliers keeps the ramp
// over its whole range, as it had before percentiles.
RampSpan settleRampSpan(float lowest, float low, float high, float highest);

// Exact percentiles in two passes over the values, in memory of fixed size whatever their
// number: a count per top 16 bits of each float's order, then per low 16 bits within the two
// chosen tops. NaNs are left out.
class PercentileSearch {
public:
    void count(float value);
    // After every value is counted once: true when a second pass is needed.
    bool startRefining();
    void refine(float value);
    RampSpan span() const;

private:
    std::vector<int64_t> coarse_ = std::vector<int64_t>(65536, 0);
    std::vector<int64_t> fineLow_, fineHigh_;
    int64_t counted_ = 0;
    float lowest_ = std::numeric_limits<float>::infinity();
    float highest_ = -std::numeric_limits<float>::infinity();
    // Per percentile: its rank, the top 16 bits of its key and how many values lie below them.
    int64_t lowRank_ = 0, highRank_ = 0;
    uint32_t lowTop_ = 0, highTop_ = 0;
    int64_t belowLowTop_ = 0, belowHighTop_ = 0;
};

// The settled span of count values; valueAt(i) gives value i.
template <class ValueAt> RampSpan rampSpan(int64_t count, ValueAt valueAt) {
    PercentileSearch search;
    for (int64_t i = 0; i < count; ++i)
        search.count(valueAt(i));
    if (search.startRefining())
        for (int64_t i = 0; i < count; ++i)
            search.refine(valueAt(i));
    return search.span();
}
