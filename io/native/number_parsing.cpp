// io/native/number_parsing.cpp - the out-of-line parts of the decimal parser: the general form
// and the strtof fallback.
#include "io/native/number_parsing.h"

#include <cstdlib>

namespace native {

bool convert(const std::string& text, float* value) {
    char* end = nullptr;
    const float converted = std::strtof(text.c_str(), &end);
    if (end == text.c_str())
        return false;
    *value = converted;
    return true;
}

// Kept out of line so that the in-place parser stays small enough to inline.
__attribute__((noinline)) float convertDecimal(const char* start, const char* end) {
    float value = 0.0f;
    convert(std::string(start, end), &value);
    return value;
}

__attribute__((noinline)) Token parseDecimalGeneral(const char* p, const char* end,
                                                    const char** next, float* value) {
    const char* const start = p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;

    // Up to 19 significant digits fit the 64-bit mantissa; a later non-zero digit would be
    // lost, so such a number goes to strtof.
    uint64_t mantissa = 0;
    int significant = 0;
    int64_t scale = 0;
    bool truncated = false;
    const char* digits = p;
    for (; isDigit(*p); ++p) {
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            significant += mantissa != 0;
        } else {
            ++scale;
            truncated |= *p != '0';
        }
    }
    int64_t digitCount = p - digits;
    if (*p == '.') {
        digits = ++p;
        for (; isDigit(*p); ++p) {
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                significant += mantissa != 0;
                --scale;
            } else {
                truncated |= *p != '0';
            }
        }
        digitCount += p - digits;
    }
    if ((*p | 0x20) == 'e') {
        const char* e = p + 1;
        const bool negativeExponent = *e == '-';
        if (*e == '-' || *e == '+')
            ++e;
        if (!isDigit(*e))
            return e == end ? Token::NeedsMore : Token::Unusual;
        int64_t exponent = 0;
        for (; isDigit(*e); ++e)
            if (exponent < 100000)
                exponent = exponent * 10 + (*e - '0');
        scale += negativeExponent ? -exponent : exponent;
        p = e;
    }
    if (p == end)
        return Token::NeedsMore;
    if (digitCount == 0 || !isBlank(*p))
        return Token::Unusual;
    *next = p;

    if (mantissa == 0) {
        *value = negative ? -0.0f : 0.0f;
        return Token::Converted;
    }
    // A float is rounded from a double that is within 4 units in the last place (ulps) of the
    // exact value: the mantissa is an exact double, and either 10^scale is exact and one
    // rounding follows, or 10^-scale is a correctly rounded double (relative error 2^-53) and
    // the product adds a rounding of its own. Rounding to float depends only on which pair of
    // float midpoints a value lies between; the midpoints are doubles whose low 29 mantissa
    // bits read 0x10000000, so a double further than 4 ulps from that pattern rounds to the
    // same float as the exact value, which is what strtof gives. Nearer ones go to strtof.
    if (!truncated && mantissa <= (uint64_t(1) << 53) && scale >= -22 && scale <= 22) {
        double near = static_cast<double>(mantissa);
        near *= scale < 0 ? kNegativePowersOfTen[-scale] : kPowersOfTen[scale];
        uint64_t bits;
        std::memcpy(&bits, &near, sizeof bits);
        if (((bits & 0x1FFFFFFF) - (0x10000000 - 8)) > 16) {
            const float rounded = static_cast<float>(near);
            *value = negative ? -rounded : rounded;
            return Token::Converted;
        }
    }
    *value = convertDecimal(start, p);
    return Token::Converted;
}

} // namespace native
