// io/laz/arithmetic_encoder.h - the writing side of the coder: the chunk encoders' streams, and
// files for tests and benchmarks that nobody else has made.
#pragma once

#include "io/laz/models.h"

#include <cstdint>
#include <vector>

// A range encoder whose output the ArithmeticDecoder reads back exactly: done() ends the
// stream so that a decoder's reads stop at its last byte.
class ArithmeticEncoder {
public:
    ArithmeticEncoder() = default;
    // Starts an empty stream again, keeping the storage of the last one.
    void reset() {
        out_.clear();
        base_ = 0;
        length_ = 0xFFFFFFFFu;
    }
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

// The inverse of IntegerDecompressor, with models of its own made in the same way: on first
// use, so that reset() for every chunk costs little.
class IntegerCompressor {
public:
    IntegerCompressor(uint32_t bits, uint32_t contexts);
    void reset();
    // Codes real as its corrector from pred; context < contexts.
    void compress(ArithmeticEncoder& enc, int32_t pred, int32_t real, uint32_t context);
    // The size class of the last corrector, as the decompressor's k().
    uint32_t k() const { return k_; }

private:
    SymbolModel& classModel(uint32_t context);
    SymbolModel& correctorModel(uint32_t k);

    uint32_t bits_;
    std::vector<SymbolModel> classes_;
    std::vector<SymbolModel> correctors_;
    std::vector<uint8_t> classReady_;
    std::vector<uint8_t> correctorReady_;
    BitModel zeroClass_;
    uint32_t k_ = 0;
};
