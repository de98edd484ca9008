// tests/io/ramp_span_test.cpp - the ramp's ends: exact percentiles over any floats, outliers
// left out, and the grey and height colours of clouds without a colour of their own.
#include "io/colouring.h"
#include "io/ramp_span.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

RampSpan spanOf(const std::vector<float>& values) {
    return rampSpan(static_cast<int64_t>(values.size()),
                    [&values](int64_t i) { return values[size_t(i)]; });
}

// The percentiles by sorting, the lowest value with at least ceil(n p) values at or below it.
std::pair<float, float> sortedPercentiles(std::vector<float> values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](float v) { return v != v; }),
                 values.end());
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return {values[std::max<size_t>(1, (n + 99) / 100) - 1],
            values[std::max<size_t>(1, (n * 99 + 99) / 100) - 1]};
}

} // namespace

// Values in every range floats take: the two-pass search finds what sorting finds, NaNs left
// out. Far outliers on both sides keep the ends at the percentiles.
TEST(RampSpan, PercentilesAreExactForAnyFloats) {
    std::mt19937 random(20);
    const std::pair<float, float> spreads[] = {
        {-1.0f, 1.0f}, {1000.0f, 1000.5f}, {-1e-30f, 1e-30f}, {-5e6f, 3e6f}, {0.0f, 1e-3f}};
    for (const auto& [from, to] : spreads) {
        for (int n : {1, 7, 100, 101, 5000}) {
            SCOPED_TRACE(std::to_string(from) + " " + std::to_string(n));
            std::uniform_real_distribution<float> uniform(from, to);
            std::vector<float> values;
            for (int i = 0; i < n; ++i)
                values.push_back(uniform(random));
            values.push_back(std::numeric_limits<float>::quiet_NaN());
            // Repeats, so that ranks fall inside runs of one value.
            values.insert(values.end(), values.begin(), values.begin() + n / 3);
            values.push_back(-1e38f);
            values.push_back(1e38f);
            const auto [low, high] = sortedPercentiles(values);
            const RampSpan span = spanOf(values);
            EXPECT_EQ(span.low, low);
            EXPECT_EQ(span.high, high);
        }
    }
    const RampSpan none = spanOf({});
    EXPECT_EQ(none.low, 0.0f);
    EXPECT_EQ(none.high, 0.0f);
    const RampSpan nan = spanOf({std::numeric_limits<float>::quiet_NaN()});
    EXPECT_EQ(nan.low, 0.0f);
    EXPECT_EQ(nan.high, 0.0f);
}

// An end stays at the extreme when nothing beyond the percentile reaches further than a tenth
// of the span; beyond that the values are outliers and saturate.
TEST(RampSpan, ShortTailsKeepTheExtremesLongOnesSaturate) {
    const struct {
        float lowest, low, high, highest;
        float wantLow, wantHigh;
    } cases[] = {
        {0, 1, 99, 100, 0, 100},     // an even spread
        {0, 10, 110, 120, 0, 120},   // a tenth exactly
        {-1, 10, 110, 121, 10, 110}, // just beyond
        {0, 50, 55, 755, 50, 55},    // noise far above a narrow terrain
        {3, 3, 3, 3, 3, 3},          // one value
        {0, 3, 3, 4, 3, 3},          // nearly one value: any tail is an outlier
    };
    for (const auto& c : cases) {
        const RampSpan span = settleRampSpan(c.lowest, c.low, c.high, c.highest);
        EXPECT_EQ(span.low, c.wantLow) << c.lowest << " " << c.highest;
        EXPECT_EQ(span.high, c.wantHigh) << c.lowest << " " << c.highest;
    }
    // A span of one value: below, on and above it.
    const RampSpan flat{3, 3};
    EXPECT_EQ(spanFraction(2, flat, 0.5), 0.0);
    EXPECT_EQ(spanFraction(3, flat, 0.5), 0.5);
    EXPECT_EQ(spanFraction(4, flat, 0.5), 1.0);
}

namespace {

// A terrain 55 high over a 100 x 100 grid, and `noise` points 700 above it.
std::vector<PointRecord> terrain(int noise) {
    std::vector<PointRecord> points;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            points.push_back({float(x), float(y), 55.0f * float(x + y) / 198.0f, 0, 0, 0});
    for (int i = 0; i < noise; ++i)
        points.push_back({float(i), 0.0f, 755.0f, 0, 0, 0});
    return points;
}

std::vector<PointRecord> coloured(std::vector<PointRecord> points, ColourKind kind) {
    ReadResult result;
    result.points = points.data();
    result.count = static_cast<int64_t>(points.size());
    result.colour = kind;
    applyColourKind(result);
    return points;
}

} // namespace

// A few noise points high above a terrain no longer make the whole terrain blue: its lowest
// point is blue, its highest red, the noise red. Without the noise every colour is what the
// ramp over the extremes gave, to the bit.
TEST(ColourlessClouds, HeightRampSpansTheTerrainNotItsNoise) {
    const std::vector<PointRecord> noisy = coloured(terrain(30), ColourKind::None);
    const PointRecord& bottom = noisy.front();
    const PointRecord& top = noisy[9999];
    EXPECT_EQ(bottom.b, 1.0f);
    EXPECT_EQ(bottom.r, 0.0f);
    EXPECT_EQ(top.r, 1.0f);
    EXPECT_LE(top.g, 0.05f);
    EXPECT_EQ(noisy.back().r, 1.0f);
    EXPECT_EQ(noisy.back().g, 0.0f);

    std::vector<PointRecord> plain = terrain(0);
    const std::vector<PointRecord> ramp = coloured(plain, ColourKind::None);
    const float low = 0.0f, high = 55.0f;
    for (size_t i = 0; i < plain.size(); ++i) {
        const float t = (plain[i].z - low) / (high - low) * 4.0f;
        const int leg = std::min(static_cast<int>(t), 3);
        const float f = t - float(leg);
        const float want[4][3] = {{0, f, 1}, {0, 1, 1 - f}, {f, 1, 0}, {1, 1 - f, 0}};
        ASSERT_EQ(ramp[i].r, want[leg][0]) << i;
        ASSERT_EQ(ramp[i].g, want[leg][1]) << i;
        ASSERT_EQ(ramp[i].b, want[leg][2]) << i;
    }
}

// Intensity grey: a few saturated returns no longer leave the rest near black; without them
// the grey is that of the extremes.
TEST(ColourlessClouds, IntensityGreySpansTheBulkNotItsOutliers) {
    std::vector<PointRecord> points;
    for (int i = 0; i < 1000; ++i)
        points.push_back({0, 0, 0, float(100 + i % 100), 0, 0});
    std::vector<PointRecord> plain = coloured(points, ColourKind::Intensity);
    EXPECT_EQ(plain[0].r, 0.0f);
    EXPECT_EQ(plain[99].r, 1.0f);
    EXPECT_EQ(plain[50].r, 50.0f / 99.0f);

    for (int i = 0; i < 5; ++i)
        points.push_back({0, 0, 0, 65535.0f, 0, 0});
    const std::vector<PointRecord> bright = coloured(points, ColourKind::Intensity);
    EXPECT_EQ(bright[0].r, 0.0f);
    EXPECT_EQ(bright[99].r, 1.0f);
    EXPECT_GT(bright[50].r, 0.45f);
    EXPECT_EQ(bright.back().r, 1.0f);
    EXPECT_EQ(bright.back().g, 1.0f);
}
