// io/laz/models.cpp - initialisation and update rules of the adaptive models.
#include "io/laz/models.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace {

// About one table entry per symbol: most targets then land in an entry of one symbol, and
// the table is still cheap to refill at every update.
uint32_t tableBits(uint32_t symbols) {
    if (symbols <= SymbolModel::kTableMin)
        return 0;
    uint32_t bits = 4;
    while ((1u << bits) < symbols)
        ++bits;
    return bits;
}

// The running sums of `counts` scaled by `scale`, into cum, and the table over them. Shared by
// updates and by the making of fresh distributions.
void distribute(const uint32_t* counts, uint32_t symbols, uint32_t scale, uint32_t* cum,
                uint16_t* table, uint32_t shift, uint32_t tableSize) {
    cum[symbols] = 0xFFFFFFFFu;
    uint32_t sum = 0;
    if (tableSize == 0) {
        for (uint32_t k = 0; k < symbols; ++k) {
            cum[k] = (scale * sum) >> 16;
            sum += counts[k];
        }
        return;
    }
    // table[j] counts the symbols k >= 1 with cum[k] <= j << shift: each adds one from the
    // first such j on, tallied here and summed below, without a branch on the data.
    const uint32_t round = (1u << shift) - 1;
    std::memset(table, 0, (tableSize + 2) * sizeof *table);
    cum[0] = 0;
    sum = counts[0];
    for (uint32_t k = 1; k < symbols; ++k) {
        const uint32_t c = (scale * sum) >> 16;
        cum[k] = c;
        ++table[(c + round) >> shift];
        sum += counts[k];
    }
    uint32_t below = 0;
    for (uint32_t j = 0; j <= tableSize + 1; ++j) {
        below += table[j];
        table[j] = uint16_t(below);
    }
}

// The distribution and table of a fresh model of n symbols: counts of 1 each.
struct Fresh {
    std::vector<uint32_t> cum;
    std::vector<uint16_t> table;
};

const Fresh& fresh(uint32_t n) {
    static std::once_flag made[SymbolModel::kMaxSymbols + 1];
    static std::unique_ptr<Fresh> models[SymbolModel::kMaxSymbols + 1];
    std::call_once(made[n], [n] {
        auto f = std::make_unique<Fresh>();
        const uint32_t bits = tableBits(n);
        const std::vector<uint32_t> ones(n, 1);
        f->cum.resize(n + 1);
        f->table.resize(bits ? (1u << bits) + 2 : 0);
        distribute(ones.data(), n, 0x80000000u / n, f->cum.data(), f->table.data(), 15 - bits,
                   bits ? 1u << bits : 0);
        models[n] = std::move(f);
    });
    return *models[n];
}

} // namespace

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
    // Callers ask for 2..2048 symbols; the bounds keep a slip from reading past the shared ones.
    if (n < 2)
        n = 2;
    if (n > kMaxSymbols)
        n = kMaxSymbols;
    symbols = n;
    counts.assign(n, 1);
    total = n;
    const uint32_t bits = tableBits(n);
    tableShift = 15 - bits;
    tableSize = bits ? 1u << bits : 0;
    const Fresh& f = fresh(n);
    cum = f.cum.data();
    table = bits ? f.table.data() : nullptr;
    updateCycle = symbolsUntilUpdate = (n + 6) >> 1;
}

void SymbolModel::update() {
    total += updateCycle;
    uint32_t* counted = counts.data();
    if (total > 32768) {
        total = 0;
        for (uint32_t k = 0; k < symbols; ++k) {
            counted[k] = (counted[k] + 1) >> 1;
            total += counted[k];
        }
    }
    ownCum_.resize(symbols + 1);
    ownTable_.resize(tableSize ? tableSize + 2 : 0);
    distribute(counted, symbols, 0x80000000u / total, ownCum_.data(), ownTable_.data(), tableShift,
               tableSize);
    cum = ownCum_.data();
    table = tableSize ? ownTable_.data() : nullptr;
    updateCycle = (5 * updateCycle) >> 2;
    const uint32_t cap = (symbols + 6) << 3;
    if (updateCycle > cap)
        updateCycle = cap;
    symbolsUntilUpdate = updateCycle;
}
