// io/laz/integer_decompressor.cpp - size class, then the corrector within it.
#include "io/laz/integer_decompressor.h"

IntegerDecompressor::IntegerDecompressor(uint32_t bits, uint32_t contexts)
    : bits_(bits), contexts_(contexts), classes_(contexts), correctors_(bits + 1),
      classReady_(contexts, 0), correctorReady_(bits + 1, 0) {}

void IntegerDecompressor::reset() {
    classReady_.assign(classReady_.size(), 0);
    correctorReady_.assign(correctorReady_.size(), 0);
    zeroClass_.init();
    k_ = 0;
}

SymbolModel& IntegerDecompressor::classModel(uint32_t context) {
    if (!classReady_[context]) {
        classes_[context].init(bits_ + 1);
        classReady_[context] = 1;
    }
    return classes_[context];
}

SymbolModel& IntegerDecompressor::correctorModel(uint32_t k) {
    if (!correctorReady_[k]) {
        correctors_[k].init(1u << (k < 8 ? k : 8));
        correctorReady_[k] = 1;
    }
    return correctors_[k];
}

int32_t IntegerDecompressor::corrector(ArithmeticDecoder& dec) {
    if (k_ == 0)
        return int32_t(dec.bit(zeroClass_));
    if (k_ >= 32) // only a 32-bit decompressor has this class: the most negative corrector
        return INT32_MIN;
    uint32_t v;
    if (k_ <= 8) {
        v = dec.symbol(correctorModel(k_));
    } else {
        const uint32_t low = k_ - 8;
        v = dec.symbol(correctorModel(k_)) << low;
        v |= dec.bits(low);
    }
    // Non-negative v in the upper half of the class stands for v + 1, the lower half for
    // negative correctors; unsigned arithmetic keeps a corrupt v from overflowing.
    if (v >= (1u << (k_ - 1)))
        return int32_t(v + 1);
    return int32_t(v - ((1u << k_) - 1));
}

int32_t IntegerDecompressor::decompress(ArithmeticDecoder& dec, int32_t pred, uint32_t context) {
    if (context >= contexts_)
        context = contexts_ - 1; // callers compute contexts in range; this keeps a slip safe
    k_ = dec.symbol(classModel(context));
    const uint32_t sum = uint32_t(pred) + uint32_t(corrector(dec));
    if (bits_ >= 32)
        return int32_t(sum);
    return int32_t(sum & ((1u << bits_) - 1));
}
