// tests/io/laz/coder_test.cpp - the arithmetic decoder and integer decompressor against the
// encoder: random streams of every kind of value come back exactly, and a stream that is cut
// short is noticed instead of read past.
#include "io/laz/arithmetic_decoder.h"
#include "io/laz/arithmetic_encoder.h"
#include "io/laz/integer_decompressor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// One step of a mixed stream: a bit, a symbol of an n-symbol model, or raw bits.
struct Step {
    int kind;      // 0 bit, 1 symbol, 2 raw bits
    uint32_t size; // symbols or bit count
    uint32_t value;
};

std::vector<Step> randomSteps(uint32_t seed, size_t count) {
    std::mt19937 random(seed);
    std::vector<Step> steps;
    const uint32_t sizes[] = {2, 3, 13, 64, 256, 516, 2048};
    for (size_t i = 0; i < count; ++i) {
        Step s;
        s.kind = int(random() % 3);
        if (s.kind == 0) {
            s.size = 2;
            // Skewed bits drive the probability toward both ends.
            s.value = (random() % 10) < (i % 2 ? 9u : 1u) ? 1 : 0;
        } else if (s.kind == 1) {
            s.size = sizes[random() % 7];
            // Mostly small symbols, so the counts become uneven and get halved.
            s.value = random() % 4 ? random() % (s.size < 4 ? s.size : 4) : random() % s.size;
        } else {
            s.size = 1 + random() % 32;
            s.value = s.size == 32 ? uint32_t(random()) : uint32_t(random()) & ((1u << s.size) - 1);
        }
        steps.push_back(s);
    }
    return steps;
}

} // namespace

TEST(ArithmeticCoder, MixedStreamsRoundTripAndEndExactlyAtTheirLastByte) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const std::vector<Step> steps = randomSteps(seed, 5000);
        ArithmeticEncoder enc;
        BitModel encBit;
        std::vector<SymbolModel> encModels(2049);
        for (const Step& s : steps) {
            if (s.kind == 0) {
                enc.bit(encBit, s.value);
            } else if (s.kind == 1) {
                if (encModels[s.size].symbols == 0)
                    encModels[s.size].init(s.size);
                enc.symbol(encModels[s.size], s.value);
            } else {
                enc.bits(s.size, s.value);
            }
        }
        enc.done();
        const std::vector<uint8_t>& bytes = enc.bytes();

        ArithmeticDecoder dec(bytes.data(), bytes.data() + bytes.size());
        BitModel decBit;
        std::vector<SymbolModel> decModels(2049);
        for (size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            uint32_t got;
            if (s.kind == 0) {
                got = dec.bit(decBit);
            } else if (s.kind == 1) {
                if (decModels[s.size].symbols == 0)
                    decModels[s.size].init(s.size);
                got = dec.symbol(decModels[s.size]);
            } else {
                got = dec.bits(s.size);
            }
            ASSERT_EQ(got, s.value) << "seed " << seed << " step " << i;
        }
        // Chunks without a table are found by this: the next one starts where the reads end.
        EXPECT_EQ(dec.consumed(), bytes.size()) << "seed " << seed;
        EXPECT_EQ(dec.missing(), 0u);
    }
}

TEST(ArithmeticCoder, StreamCutShortReadsZerosAndCountsThem) {
    ArithmeticEncoder enc;
    SymbolModel m;
    m.init(256);
    for (uint32_t i = 0; i < 1000; ++i)
        enc.symbol(m, (i * 37) & 255);
    enc.done();
    const std::vector<uint8_t> bytes(enc.bytes().begin(), enc.bytes().begin() + 100);
    ArithmeticDecoder dec(bytes.data(), bytes.data() + bytes.size());
    SymbolModel d;
    d.init(256);
    for (int i = 0; i < 1000; ++i)
        dec.symbol(d);
    EXPECT_GT(dec.missing(), 0u);
    EXPECT_EQ(dec.consumed() - dec.missing(), bytes.size());
}

// The lookup table against a plain search of the distribution, for every target on the scale
// and past it (a corrupt stream's), fresh and after updates that skew and halve the counts,
// at sizes on both sides of where models start keeping a table; a model reset to fresh reads
// the shared fresh distribution again.
TEST(SymbolModels, LookupFindsTheSymbolOfEveryTarget) {
    for (uint32_t n : {2u, 16u, 17u, 33u, 100u, 256u, 516u, 2048u}) {
        SCOPED_TRACE(n);
        SymbolModel m;
        m.init(n);
        std::mt19937 random(n);
        for (int round = 0; round < 6; ++round) {
            for (uint32_t target = 0; target <= (1u << 15) + 300; ++target) {
                uint32_t want = 0;
                while (want + 1 < n && m.cum[want + 1] <= target)
                    ++want;
                if (m.tableSize != 0) {
                    ASSERT_EQ(m.find(target), want) << "round " << round << " target " << target;
                }
            }
            EXPECT_EQ(m.cum[0], 0u);
            if (m.tableSize != 0) {
                EXPECT_EQ(m.find(1u << 23), n - 1);
                EXPECT_EQ(m.find(0xFFFFFFFEu), n - 1);
            }
            // Mostly the low symbols, enough of them for several updates and a halving.
            for (int i = 0; i < 20000; ++i)
                m.count(random() % 8 ? random() % (n < 5 ? n : 5) : random() % n);
        }
        SymbolModel fresh;
        fresh.init(n);
        m.init(n);
        for (uint32_t s = 0; s < n; ++s)
            ASSERT_EQ(m.cum[s], fresh.cum[s]) << s;
    }
}

// Predictions and values at the edges: correctors of every size class, the most negative
// 32-bit corrector, and sums that wrap in 32 and in 16 bits.
TEST(IntegerCoder, ValuesRoundTripAcrossSizeClassesAndWraps) {
    for (uint32_t bits : {16u, 32u}) {
        SCOPED_TRACE(bits);
        std::mt19937 random(bits);
        std::vector<std::pair<int32_t, int32_t>> pairs; // prediction, value
        const int32_t edges[] = {0,    1,     -1,     2,     -2,        255,      256,
                                 -256, 32767, -32768, 65535, INT32_MAX, INT32_MIN};
        for (int32_t p : edges)
            for (int32_t v : edges)
                pairs.push_back({p, v});
        for (int i = 0; i < 3000; ++i) {
            const int32_t p = int32_t(random());
            const int shift = int(random() % 32);
            pairs.push_back({p, int32_t(uint32_t(p) + (uint32_t(random()) >> shift))});
        }
        const uint32_t mask = bits == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        ArithmeticEncoder enc;
        IntegerCompressor ic(bits, 3);
        for (size_t i = 0; i < pairs.size(); ++i) {
            const int32_t p =
                bits == 32 ? pairs[i].first : int32_t(uint32_t(pairs[i].first) & mask);
            ic.compress(enc, p, int32_t(uint32_t(pairs[i].second) & mask), i % 3);
        }
        enc.done();
        ArithmeticDecoder dec(enc.bytes().data(), enc.bytes().data() + enc.bytes().size());
        IntegerDecompressor id(bits, 3);
        for (size_t i = 0; i < pairs.size(); ++i) {
            const int32_t p =
                bits == 32 ? pairs[i].first : int32_t(uint32_t(pairs[i].first) & mask);
            ASSERT_EQ(uint32_t(id.decompress(dec, p, i % 3)), uint32_t(pairs[i].second) & mask)
                << "pair " << i;
        }
        EXPECT_EQ(dec.missing(), 0u);
    }
}
