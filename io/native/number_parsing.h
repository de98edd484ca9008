// io/native/number_parsing.h - the in-place decimal parser of the native format's fast reader:
// white-space masks 64 bytes at a time, eight digits at a time, and the checks that give
// exactly the float strtof gives.
#pragma once

#include "io/point_records.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace native {

// A number that straddles two blocks is kept and completed from the next block if it is at most
// this long; a longer one goes through the character-by-character scan.
constexpr size_t kKeepBytes = 256;
// White space as isspace() has it in the C locale.
inline bool isBlank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
inline bool isHexDigit(int c) {
    return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
inline int lower(int c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

inline void store(PointRecord* points, int64_t index, float value) {
    std::memcpy(reinterpret_cast<unsigned char*>(points) + index * sizeof(float), &value,
                sizeof value);
}

// strtof of the whole text; false when it starts with no number.
bool convert(const std::string& text, float* value);
// The same for the bytes from start to end, kept out of line so that the in-place parser stays
// small enough to inline.
float convertDecimal(const char* start, const char* end);

// clang-format off
inline constexpr double kPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};
inline constexpr double kNegativePowersOfTen[] = {
    1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
    1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22,
};
// clang-format on

enum class Token { Converted, NeedsMore, Unusual };

// Parses a number of the form [sign] digits [. digits] [e [sign] digits] that is followed by
// white space, at p; for such a text "%f" consumes exactly the number and converts it with
// strtof. NeedsMore when the text reaches end (it may go on in the next block); Unusual for
// anything else, which the caller hands to scanFloat. The NUL at end stops every loop.
Token parseDecimalGeneral(const char* p, const char* end, const char** next, float* value);

inline uint64_t load8(const char* p) {
    uint64_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// The number of decimal digits that the eight bytes start with (first byte lowest). A digit
// XOR '0' is 0..9; adding 0x76 sets the top bit of any other byte value below 0x8A and the
// byte's own top bit covers the rest. Carries only move to later bytes, so the first flagged
// byte is the first non-digit.
inline int leadingDigits(uint64_t bytes) {
    const uint64_t x = bytes ^ 0x3030303030303030;
    const uint64_t flags = ((x + 0x7676767676767676) | x) & 0x8080808080808080;
    return flags ? __builtin_ctzll(flags) >> 3 : 8;
}

// The value of the first `count` (0..7) bytes, which are digits: they are moved to the top so
// the bytes below read as leading zeros, then pairs, fours and eights are combined at once.
inline uint64_t digitsValue(uint64_t bytes, int count) {
    if (count == 0)
        return 0;
    uint64_t v = (bytes - 0x3030303030303030) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = ((v & 0x000000FF000000FF) * 0x000F424000000064 +
         ((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001) >>
        32;
    return v;
}

// clang-format off
inline constexpr uint64_t kIntegerPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// clang-format on

// parseDecimalGeneral for the common case of at most seven digits before and after the point
// and no exponent: the mantissa (at most 14 digits) is exact, 10^-scale a correctly rounded
// double, and the same 4-ulp argument holds. The buffer is padded so that eight bytes can be
// loaded at the end; the NUL there ends every run of digits.
__attribute__((always_inline)) inline Token parseDecimal(const char* p, const char* end,
                                                         const char** next, float* value) {
    const char* const start = p;
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    uint64_t bytes = load8(p);
    const int integerDigits = leadingDigits(bytes);
    if (integerDigits == 8)
        return parseDecimalGeneral(start, end, next, value);
    uint64_t mantissa = digitsValue(bytes, integerDigits);
    p += integerDigits;
    int fractionDigits = 0;
    if (*p == '.') {
        bytes = load8(++p);
        fractionDigits = leadingDigits(bytes);
        if (fractionDigits == 8)
            return parseDecimalGeneral(start, end, next, value);
        mantissa =
            mantissa * kIntegerPowersOfTen[fractionDigits] + digitsValue(bytes, fractionDigits);
        p += fractionDigits;
    }
    if (p == end || (*p | 0x20) == 'e' || integerDigits + fractionDigits == 0)
        return parseDecimalGeneral(start, end, next, value);
    if (!isBlank(*p))
        return Token::Unusual;
    *next = p;
    double near = static_cast<double>(mantissa) * kNegativePowersOfTen[fractionDigits];
    uint64_t bits;
    std::memcpy(&bits, &near, sizeof bits);
    if (mantissa != 0 && ((bits & 0x1FFFFFFF) - (0x10000000 - 8)) <= 16)
        near = convertDecimal(start, p);
    const float rounded = static_cast<float>(near);
    *value = negative ? -rounded : rounded;
    return Token::Converted;
}

// One bit per byte of the 64 at p, set for white space.
inline uint64_t blankMask(const char* p) {
#if defined(__SSE2__)
    uint64_t mask = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
        const __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
        // '\t' .. '\r' are the bytes that lie 0 .. 4 above '\t'.
        const __m128i control = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(control, _mm_set1_epi8(4)), control);
        const uint64_t bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm_or_si128(space, low)));
        mask |= bits << (16 * part);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= uint64_t(isBlank(static_cast<unsigned char>(p[i]))) << i;
    return mask;
#endif
}

// Converts, in place, the numbers that lie whole in [p, end) and start before `until`, as long
// as the in-place parser takes them and *index is below limit. Returns where it stopped: at
// end, or at the start of a number it left to the caller. p counts as the start of a number
// whatever precedes it. The starts come from masks of white space, 64 bytes at a time, rather
// than from the end of the number before: so the next number's parse doesn't wait for this
// one's, and the processor works on several at once. A number the parser takes is followed by
// white space, so it ends where the mask says its run ends.
inline const char* parseInPlace(const char* p, const char* end, const char* until,
                                PointRecord* points, int64_t* index, int64_t limit) {
    int64_t i = *index;
    const char* window = p;
    uint64_t blanks = blankMask(window);
    uint64_t starts = ~blanks & ((blanks << 1) | 1);
    for (;;) {
        while (starts == 0) {
            window += 64;
            if (window >= end) {
                *index = i;
                return end;
            }
            const uint64_t before = blanks >> 63;
            blanks = blankMask(window);
            starts = ~blanks & ((blanks << 1) | before);
        }
        const char* start = window + __builtin_ctzll(starts);
        starts &= starts - 1;
        if (start >= until || i == limit) {
            *index = i;
            return std::min(start, end);
        }
        const char* next = nullptr;
        float value;
        if (parseDecimal(start, end, &next, &value) != Token::Converted) {
            *index = i;
            return start;
        }
        store(points, i++, value);
    }
}

} // namespace native
