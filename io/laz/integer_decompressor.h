// io/laz/integer_decompressor.h - integers coded as a prediction plus a corrector.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/models.h"

#include <cstdint>
#include <vector>

// Decodes values of `bits` bits (1..32) in one of `contexts` contexts. The corrector's size
// class k (its bit length) is coded per context; the corrector within its class is coded by
// models shared by all contexts. Models are made on first use; reset() starts afresh.
class IntegerDecompressor {
public:
    IntegerDecompressor(uint32_t bits, uint32_t contexts);
    void reset();

    // pred + corrector, wrapped to `bits` bits (a 32-bit result is the signed wrap).
    int32_t decompress(ArithmeticDecoder& dec, int32_t pred, uint32_t context);
    // The size class of the last corrector: other fields use it as a context.
    uint32_t k() const { return k_; }

private:
    SymbolModel& classModel(uint32_t context);
    SymbolModel& correctorModel(uint32_t k);
    int32_t corrector(ArithmeticDecoder& dec);

    uint32_t bits_;
    uint32_t contexts_;
    std::vector<SymbolModel> classes_;    // per context, bits + 1 symbols
    std::vector<SymbolModel> correctors_; // [k] for k = 1..bits, 2^min(k, 8) symbols
    std::vector<uint8_t> classReady_;
    std::vector<uint8_t> correctorReady_;
    BitModel zeroClass_; // k = 0: the corrector is 0 or 1
    uint32_t k_ = 0;
};
