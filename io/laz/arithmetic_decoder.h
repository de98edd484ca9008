// io/laz/arithmetic_decoder.h - reads bits, symbols and raw integers from one compressed stream.
#pragma once

#include "io/laz/models.h"

#include <cstddef>
#include <cstdint>

// Forced inline for the coder's steps: the items decode through a local copy of their stream's
// decoder, which then lives in registers only if no call takes its address.
#define LAZ_INLINE __attribute__((always_inline)) inline

// A range decoder over [begin, end). It never reads outside that span: bytes past the end
// read as 0 and are counted, so a caller can tell a stream that was cut short or is corrupt.
// It is a few words: an item copies it into a local for a point's fields and back, so that
// the stores into the models (which may alias a member) don't force it out to memory.
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

    LAZ_INLINE uint32_t bit(BitModel& m) {
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
        normalise();
        m.count(b);
        return b;
    }

    LAZ_INLINE uint32_t symbol(SymbolModel& m) {
        const uint32_t l = length_ >> 15;
        const uint32_t* cum = m.cum;
        uint32_t s, x, y;
        if (m.tableSize != 0) {
            s = m.find(value_ / l);
            x = cum[s] * l;
            y = s + 1 < m.symbols ? cum[s + 1] * l : length_;
        } else {
            // Few symbols: halving on the products costs less than the division.
            uint32_t hi = m.symbols;
            s = x = 0;
            y = length_;
            while (hi - s > 1) {
                const uint32_t mid = (s + hi) >> 1;
                const uint32_t z = cum[mid] * l;
                const bool up = z <= value_;
                s = up ? mid : s;
                x = up ? z : x;
                hi = up ? hi : mid;
                y = up ? y : z;
            }
        }
        value_ -= x;
        length_ = y - x;
        normalise();
        m.count(s);
        return s;
    }

    // 1 <= b <= 32 raw bits.
    LAZ_INLINE uint32_t bits(uint32_t b) {
        if (b > 19) {
            const uint32_t lo = shortBits(16);
            return (shortBits(b - 16) << 16) | lo;
        }
        return shortBits(b);
    }
    LAZ_INLINE uint32_t readInt() {
        const uint32_t lo = shortBits(16);
        return (shortBits(16) << 16) | lo;
    }

    // Bytes the decoder has taken from the stream, the four of start() included, and how many
    // of them lay past its end.
    size_t consumed() const { return size_t(next_ - begin_) + missing_; }
    size_t missing() const { return missing_; }

private:
    LAZ_INLINE uint32_t nextByte() {
        if (next_ < end_)
            return *next_++;
        ++missing_;
        return 0;
    }
    // Shifts in as many bytes as bring length_ to 2^24 or more, none if it is, without a branch
    // on how many while four bytes remain.
    LAZ_INLINE void normalise() {
        if (end_ - next_ >= 4) {
            const uint32_t bytes = uint32_t(__builtin_clz(length_ | 1)) >> 3;
            const uint32_t shift = bytes << 3;
            const uint64_t ahead = (uint64_t(next_[0]) << 24) | (uint64_t(next_[1]) << 16) |
                                   (uint64_t(next_[2]) << 8) | uint64_t(next_[3]);
            value_ = uint32_t(((uint64_t(value_) << 32) | ahead) >> (32 - shift));
            length_ <<= shift;
            next_ += bytes;
        } else if (length_ < (1u << 24)) {
            renormalise();
        }
    }
    // The last bytes of a stream, one at a time: those past its end read as 0.
    LAZ_INLINE void renormalise() {
        do {
            value_ = (value_ << 8) | nextByte();
            length_ <<= 8;
        } while (length_ < (1u << 24));
    }
    LAZ_INLINE uint32_t shortBits(uint32_t b) {
        length_ >>= b;
        const uint32_t v = value_ / length_;
        value_ -= v * length_;
        normalise();
        return v;
    }

    const uint8_t* begin_ = nullptr;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
    size_t missing_ = 0;
    uint32_t value_ = 0;
    uint32_t length_ = 0;
};
