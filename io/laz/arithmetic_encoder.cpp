// io/laz/arithmetic_encoder.cpp - encoder and integer compressor mirroring the decoders.
#include "io/laz/arithmetic_encoder.h"

#include <cstddef>

void ArithmeticEncoder::add(uint32_t x) {
    const uint32_t before = base_;
    base_ += x;
    if (base_ < before) {
        // Carry into the bytes already written.
        for (size_t i = out_.size(); i-- > 0;) {
            if (++out_[i] != 0)
                break;
        }
    }
}

void ArithmeticEncoder::renormalise() {
    while (length_ < (1u << 24)) {
        out_.push_back(uint8_t(base_ >> 24));
        base_ <<= 8;
        length_ <<= 8;
    }
}

void ArithmeticEncoder::bit(BitModel& m, uint32_t bit) {
    const uint32_t x = m.bit0Prob * (length_ >> 13);
    if (bit == 0) {
        length_ = x;
    } else {
        add(x);
        length_ -= x;
    }
    renormalise();
    m.count(bit);
}

void ArithmeticEncoder::symbol(SymbolModel& m, uint32_t s) {
    const uint32_t l = length_ >> 15;
    const uint32_t x = m.cum[s] * l;
    const uint32_t y = s + 1 < m.symbols ? m.cum[s + 1] * l : length_;
    add(x);
    length_ = y - x;
    renormalise();
    m.count(s);
}

void ArithmeticEncoder::shortBits(uint32_t b, uint32_t value) {
    length_ >>= b;
    add(value * length_);
    renormalise();
}

void ArithmeticEncoder::bits(uint32_t b, uint32_t value) {
    if (b > 19) {
        shortBits(16, value & 0xFFFF);
        shortBits(b - 16, value >> 16);
    } else {
        shortBits(b, value);
    }
}

void ArithmeticEncoder::done() {
    // Any value in [base, base + length) decodes the same; the decoder has read four bytes
    // ahead, so four bytes of one such value end the stream exactly where its reads stop. The
    // value taken has one significant byte when the interval is wide enough, else two, and
    // zeros after them: the streams of real files end that way.
    const bool wide = length_ > (1u << 25);
    add(wide ? 1u << 24 : 1u << 23);
    const int significant = wide ? 1 : 2;
    for (int i = 0; i < 4; ++i) {
        out_.push_back(i < significant ? uint8_t(base_ >> 24) : 0);
        base_ <<= 8;
    }
}

IntegerCompressor::IntegerCompressor(uint32_t bits, uint32_t contexts)
    : bits_(bits), classes_(contexts), correctors_(bits + 1), classReady_(contexts, 0),
      correctorReady_(bits + 1, 0) {}

void IntegerCompressor::reset() {
    classReady_.assign(classReady_.size(), 0);
    correctorReady_.assign(correctorReady_.size(), 0);
    zeroClass_.init();
    k_ = 0;
}

SymbolModel& IntegerCompressor::classModel(uint32_t context) {
    if (!classReady_[context]) {
        classes_[context].init(bits_ + 1);
        classReady_[context] = 1;
    }
    return classes_[context];
}

SymbolModel& IntegerCompressor::correctorModel(uint32_t k) {
    if (!correctorReady_[k]) {
        correctors_[k].init(1u << (k < 8 ? k : 8));
        correctorReady_[k] = 1;
    }
    return correctors_[k];
}

void IntegerCompressor::compress(ArithmeticEncoder& enc, int32_t pred, int32_t real,
                                 uint32_t context) {
    // The corrector folded into [-2^(bits-1), 2^(bits-1)).
    uint32_t diff = uint32_t(real) - uint32_t(pred);
    if (bits_ < 32) {
        diff &= (1u << bits_) - 1;
        if (diff >= (1u << (bits_ - 1)))
            diff -= 1u << bits_;
    }
    const int64_t corr = int32_t(diff);
    uint32_t k = 0;
    uint32_t v = 0;
    if (corr == 0 || corr == 1) {
        k = 0;
    } else {
        // Class k holds -(2^k - 1) .. -2^(k-1) and 2^(k-1) + 1 .. 2^k.
        const uint64_t magnitude = corr > 0 ? uint64_t(corr - 1) : uint64_t(-corr);
        while (k < 32 && (uint64_t(1) << k) <= magnitude)
            ++k;
        v = corr > 0 ? uint32_t(corr - 1) : uint32_t(corr + ((int64_t(1) << k) - 1));
    }
    k_ = k;
    enc.symbol(classModel(context), k);
    if (k == 0) {
        enc.bit(zeroClass_, uint32_t(corr));
    } else if (k < 32) {
        if (k <= 8) {
            enc.symbol(correctorModel(k), v);
        } else {
            enc.symbol(correctorModel(k), v >> (k - 8));
            enc.bits(k - 8, v & ((1u << (k - 8)) - 1));
        }
    }
}
