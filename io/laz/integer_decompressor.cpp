// io/laz/integer_decompressor.cpp - size class, then the corrector within it.
#include "io/laz/integer_decompressor.h"

IntegerDecompressor::IntegerDecompressor(uint32_t bits, uint32_t contexts)
    : bits_(bits), contexts_(contexts), mask_(bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1),
      classes_(contexts), correctors_(bits + 1), classReady_(contexts, 0),
      correctorReady_(bits + 1, 0) {}

void IntegerDecompressor::reset() {
    classReady_.assign(classReady_.size(), 0);
    correctorReady_.assign(correctorReady_.size(), 0);
    zeroClass_.init();
    k_ = 0;
}
