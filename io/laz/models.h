// io/laz/models.h - the adaptive probability models the arithmetic coder reads and updates.
#pragma once

#include <cstdint>
#include <vector>

// A binary model: the probability of a 0 bit on a 13-bit scale, re-estimated from the counts
// at growing intervals. Encoder and decoder update it identically.
class BitModel {
public:
    BitModel() { init(); }
    void init();
    // Called once per coded bit, after the coder has used bit0Prob.
    void count(uint32_t bit) {
        if (bit == 0)
            ++bit0Count;
        if (--bitsUntilUpdate == 0)
            update();
    }
    void update();

    uint32_t bit0Count = 1;
    uint32_t bitCount = 2;
    uint32_t bit0Prob = 1u << 12;
    uint32_t updateCycle = 4;
    uint32_t bitsUntilUpdate = 4;
};

// A model over 2..2048 symbols: counts and their cumulative distribution on a 15-bit scale.
// Models of more than kTableMin symbols also keep a lookup table over that scale, so that
// finding a symbol takes a look-up and a step or two instead of a search of all of them.
// A fresh model reads the distribution and table every fresh model of its size shares, and
// makes its own at its first update: chunks start hundreds of models, most used a few times.
class SymbolModel {
public:
    static constexpr uint32_t kTableMin = 16;
    static constexpr uint32_t kMaxSymbols = 2048;

    SymbolModel() = default;
    // cum and table may point into the model's own storage.
    SymbolModel(const SymbolModel&) = delete;
    SymbolModel& operator=(const SymbolModel&) = delete;
    SymbolModel(SymbolModel&&) = default;
    SymbolModel& operator=(SymbolModel&&) = default;

    void init(uint32_t symbols);
    // Called once per coded symbol.
    void count(uint32_t symbol) {
        ++counts[symbol];
        if (--symbolsUntilUpdate == 0)
            update();
    }
    void update();

    // For a model with a table: the largest s with cum[s] <= target, for any target below the
    // sentinel (those past the scale give the last symbol). The decoder's targets are below
    // 2^23, as length >> 15 is at least 2^9, whatever the stream holds.
    uint32_t find(uint32_t target) const {
        uint32_t t = target >> tableShift;
        if (t > tableSize)
            t = tableSize;
        uint32_t lo = table[t], hi = table[t + 1] + 1u;
        while (hi - lo > 2) {
            const uint32_t mid = (lo + hi) >> 1;
            if (cum[mid] <= target)
                lo = mid;
            else
                hi = mid;
        }
        // One or two candidates left, as most often: cum[hi] > target (the sentinel past the
        // last symbol included), so one comparison settles it without a branch.
        return lo + (cum[lo + 1] <= target ? 1u : 0u);
    }

    uint32_t symbols = 0;
    std::vector<uint32_t> counts;
    // cum[s]: scaled sum of the counts below s; cum[0] = 0, and cum[symbols] is a sentinel
    // above every target.
    const uint32_t* cum = nullptr;
    uint32_t total = 0;
    uint32_t updateCycle = 0;
    uint32_t symbolsUntilUpdate = 0;
    // With tableSize != 0, table[j] for j = 0..tableSize + 1 is the largest s with
    // cum[s] <= j << tableShift, so the symbol of a target lies in [table[j], table[j + 1]]
    // for j = target >> tableShift.
    const uint16_t* table = nullptr;
    uint32_t tableShift = 0;
    uint32_t tableSize = 0;

private:
    std::vector<uint32_t> ownCum_;
    std::vector<uint16_t> ownTable_;
};

// A family of symbol models made on first use: a chunk may touch a few of hundreds of
// contexts, and a fresh model is what the first use would see anyway. reset() marks every one
// unused again without giving back their storage.
class LazySymbolModels {
public:
    LazySymbolModels(uint32_t models, uint32_t symbols)
        : models_(models), ready_(models, 0), symbols_(symbols) {}
    SymbolModel& operator[](uint32_t i) {
        if (!ready_[i]) {
            models_[i].init(symbols_);
            ready_[i] = 1;
        }
        return models_[i];
    }
    void reset() { ready_.assign(ready_.size(), 0); }

private:
    std::vector<SymbolModel> models_;
    std::vector<uint8_t> ready_;
    uint32_t symbols_;
};
