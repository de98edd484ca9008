// io/laz/integer_decompressor.h - integers coded as a prediction plus a corrector.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/models.h"

#include <cstdint>
#include <vector>

// Decodes values of `bits` bits (1..32) in one of `contexts` contexts. The corrector's size
// class k (its bit length) is coded per context; the corrector within its class is coded by
// models shared by all contexts. Models are made on first use; reset() starts afresh.
// Every point decodes several of these, so the decoding is inline.
class IntegerDecompressor {
public:
    IntegerDecompressor(uint32_t bits, uint32_t contexts);
    void reset();

    // pred + corrector, wrapped to `bits` bits (a 32-bit result is the signed wrap).
    LAZ_INLINE int32_t decompress(ArithmeticDecoder& dec, int32_t pred, uint32_t context) {
        if (context >= contexts_)
            context = contexts_ - 1; // callers compute contexts in range; this keeps a slip safe
        k_ = dec.symbol(classModel(context));
        return int32_t((uint32_t(pred) + uint32_t(corrector(dec))) & mask_);
    }
    // The size class of the last corrector: other fields use it as a context.
    uint32_t k() const { return k_; }

private:
    LAZ_INLINE SymbolModel& classModel(uint32_t context) {
        if (!classReady_[context]) {
            classes_[context].init(bits_ + 1);
            classReady_[context] = 1;
        }
        return classes_[context];
    }
    LAZ_INLINE SymbolModel& correctorModel(uint32_t k) {
        if (!correctorReady_[k]) {
            correctors_[k].init(1u << (k < 8 ? k : 8));
            correctorReady_[k] = 1;
        }
        return correctors_[k];
    }
    LAZ_INLINE int32_t corrector(ArithmeticDecoder& dec) {
        const uint32_t k = k_;
        if (k == 0)
            return int32_t(dec.bit(zeroClass_));
        if (k >= 32) // only a 32-bit decompressor has this class: the most negative corrector
            return INT32_MIN;
        uint32_t v;
        if (k <= 8) {
            v = dec.symbol(correctorModel(k));
        } else {
            const uint32_t low = k - 8;
            v = dec.symbol(correctorModel(k)) << low;
            v |= dec.bits(low);
        }
        // Non-negative v in the upper half of the class stands for v + 1, the lower half for
        // negative correctors; unsigned arithmetic keeps a corrupt v from overflowing.
        const uint32_t up = v + 1, down = v - ((1u << k) - 1);
        return int32_t(v >= (1u << (k - 1)) ? up : down);
    }

    uint32_t bits_;
    uint32_t contexts_;
    uint32_t mask_;                       // the low `bits` bits
    std::vector<SymbolModel> classes_;    // per context, bits + 1 symbols
    std::vector<SymbolModel> correctors_; // [k] for k = 1..bits, 2^min(k, 8) symbols
    std::vector<uint8_t> classReady_;
    std::vector<uint8_t> correctorReady_;
    BitModel zeroClass_; // k = 0: the corrector is 0 or 1
    uint32_t k_ = 0;
};
