// io/laz/arithmetic_encoder.h - the writing side of the coder, for tests and benchmarks that
// need compressed files nobody else has made (the program itself only decodes).
#pragma once

#include "io/laz/models.h"

#include <cstdint>
#include <vector>

// A range encoder whose output the ArithmeticDecoder reads back exactly: done() ends the
// stream so that a decoder's reads stop at its last byte.
class ArithmeticEncoder {
public:
    ArithmeticEncoder() = default;
    void bit(BitModel& m, uint32_t bit);
    void symbol(SymbolModel& m, uint32_t symbol);
    void bits(uint32_t b, uint32_t value); // 1 <= b <= 32
    void writeInt(uint32_t value) { bits(32, value); }
    // Flushes the state; the bytes are then complete.
    void done();
    const std::vector<uint8_t>& bytes() const { return out_; }

private:
    void shortBits(uint32_t b, uint32_t value);
    void add(uint32_t x);
    void renormalise();

    std::vector<uint8_t> out_;
    uint32_t base_ = 0;
    uint32_t length_ = 0xFFFFFFFFu;
};

// The inverse of IntegerDecompressor, with models of its own made in the same way.
class IntegerCompressor {
public:
    IntegerCompressor(uint32_t bits, uint32_t contexts);
    void compress(ArithmeticEncoder& enc, int32_t pred, int32_t real, uint32_t context);
    uint32_t k() const { return k_; }

private:
    uint32_t bits_;
    std::vector<SymbolModel> classes_;
    std::vector<SymbolModel> correctors_;
    BitModel zeroClass_;
    uint32_t k_ = 0;
};
