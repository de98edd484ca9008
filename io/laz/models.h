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
class SymbolModel {
public:
    void init(uint32_t symbols);
    // Called once per coded symbol.
    void count(uint32_t symbol) {
        ++counts[symbol];
        if (--symbolsUntilUpdate == 0)
            update();
    }
    void update();

    uint32_t symbols = 0;
    std::vector<uint32_t> counts;
    std::vector<uint32_t> cum; // cum[s]: scaled sum of the counts below s; cum[0] = 0
    uint32_t total = 0;
    uint32_t updateCycle = 0;
    uint32_t symbolsUntilUpdate = 0;
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
