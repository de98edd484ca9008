// io/laz/arithmetic_decoder.h - reads bits, symbols and raw integers from one compressed stream.
#pragma once

#include "io/laz/models.h"

#include <cstddef>
#include <cstdint>

// A range decoder over [begin, end). It never reads outside that span: bytes past the end
// read as 0 and are counted, so a caller can tell a stream that was cut short or is corrupt.
class ArithmeticDecoder {
public:
    ArithmeticDecoder() = default;
    ArithmeticDecoder(const uint8_t* begin, const uint8_t* end) { start(begin, end); }

    // Reads the stream's first four bytes (big-endian), as a fresh decoder does.
    void start(const uint8_t* begin, const uint8_t* end) {
        begin_ = next_ = begin;
        end_ = end;
        missing_ = 0;
        length_ = 0xFFFFFFFFu;
        value_ = 0;
        for (int i = 0; i < 4; ++i)
            value_ = (value_ << 8) | nextByte();
    }

    uint32_t bit(BitModel& m) {
        const uint32_t x = m.bit0Prob * (length_ >> 13);
        uint32_t b;
        if (value_ < x) {
            b = 0;
            length_ = x;
        } else {
            b = 1;
            value_ -= x;
            length_ -= x;
        }
        if (length_ < (1u << 24))
            renormalise();
        m.count(b);
        return b;
    }

    uint32_t symbol(SymbolModel& m) {
        const uint32_t l = length_ >> 15;
        const uint32_t target = value_ / l;
        const uint32_t* cum = m.cum.data();
        // The largest s with cum[s] <= target; cum[0] is 0.
        uint32_t lo = 0, hi = m.symbols;
        while (hi - lo > 1) {
            const uint32_t mid = (lo + hi) >> 1;
            if (cum[mid] <= target)
                lo = mid;
            else
                hi = mid;
        }
        const uint32_t x = cum[lo] * l;
        const uint32_t y = lo + 1 < m.symbols ? cum[lo + 1] * l : length_;
        value_ -= x;
        length_ = y - x;
        if (length_ < (1u << 24))
            renormalise();
        m.count(lo);
        return lo;
    }

    // 1 <= b <= 32 raw bits.
    uint32_t bits(uint32_t b) {
        if (b > 19) {
            const uint32_t lo = shortBits(16);
            return (shortBits(b - 16) << 16) | lo;
        }
        return shortBits(b);
    }
    uint32_t readInt() {
        const uint32_t lo = shortBits(16);
        return (shortBits(16) << 16) | lo;
    }

    // Bytes the decoder has taken from the stream, the four of start() included, and how many
    // of them lay past its end.
    size_t consumed() const { return size_t(next_ - begin_) + missing_; }
    size_t missing() const { return missing_; }

private:
    uint32_t nextByte() {
        if (next_ < end_)
            return *next_++;
        ++missing_;
        return 0;
    }
    void renormalise() {
        do {
            value_ = (value_ << 8) | nextByte();
            length_ <<= 8;
        } while (length_ < (1u << 24));
    }
    uint32_t shortBits(uint32_t b) {
        length_ >>= b;
        const uint32_t v = value_ / length_;
        value_ -= v * length_;
        if (length_ < (1u << 24))
            renormalise();
        return v;
    }

    const uint8_t* begin_ = nullptr;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
    size_t missing_ = 0;
    uint32_t value_ = 0;
    uint32_t length_ = 0;
};
