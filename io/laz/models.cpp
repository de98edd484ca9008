// io/laz/models.cpp - initialisation and update rules of the adaptive models.
#include "io/laz/models.h"

void BitModel::init() {
    bit0Count = 1;
    bitCount = 2;
    bit0Prob = 1u << 12;
    updateCycle = bitsUntilUpdate = 4;
}

void BitModel::update() {
    bitCount += updateCycle;
    if (bitCount > 8192) {
        bitCount = (bitCount + 1) >> 1;
        bit0Count = (bit0Count + 1) >> 1;
        if (bit0Count == bitCount)
            ++bitCount;
    }
    bit0Prob = (bit0Count * (0x80000000u / bitCount)) >> 18;
    updateCycle = (5 * updateCycle) >> 2;
    if (updateCycle > 64)
        updateCycle = 64;
    bitsUntilUpdate = updateCycle;
}

void SymbolModel::init(uint32_t n) {
    symbols = n;
    counts.assign(n, 1);
    cum.assign(n, 0);
    total = 0;
    updateCycle = n;
    update();
    updateCycle = symbolsUntilUpdate = (n + 6) >> 1;
}

void SymbolModel::update() {
    total += updateCycle;
    if (total > 32768) {
        total = 0;
        for (uint32_t& c : counts) {
            c = (c + 1) >> 1;
            total += c;
        }
    }
    const uint32_t scale = 0x80000000u / total;
    uint32_t sum = 0;
    for (uint32_t k = 0; k < symbols; ++k) {
        cum[k] = (scale * sum) >> 16;
        sum += counts[k];
    }
    updateCycle = (5 * updateCycle) >> 2;
    const uint32_t cap = (symbols + 6) << 3;
    if (updateCycle > cap)
        updateCycle = cap;
    symbolsUntilUpdate = updateCycle;
}
