// io/text_scan.h - numbers and lines of the text formats, straight from the mapped bytes.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>

// Within one line: spaces, tabs and the separator given (',' or ';'), but never a line end.
inline const char* skipSeparators(const char* p, const char* end, char separator = ' ') {
    while (p < end && (*p == ' ' || *p == '\t' || *p == separator || *p == '\v' || *p == '\f'))
        ++p;
    return p;
}

inline bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// The start of the next line: past the line end ("\n", "\r\n" or "\r").
inline const char* nextLine(const char* p, const char* end) {
    while (p < end && !isLineEnd(*p))
        ++p;
    if (p < end && *p == '\r')
        ++p;
    if (p < end && *p == '\n')
        ++p;
    return p;
}

// The start of the last line in [begin, end) with anything but blanks on it; null when none.
// A file cut short ends in such a line.
inline const char* lastFilledLine(const char* begin, const char* end) {
    const char* q = end;
    while (q > begin && (isLineEnd(q[-1]) || q[-1] == ' ' || q[-1] == '\t'))
        --q;
    if (q == begin)
        return nullptr;
    while (q > begin && !isLineEnd(q[-1]))
        --q;
    return q;
}

inline bool endsNumber(const char* q, const char* end, char separator) {
    return q == end || *q == ' ' || *q == '\t' || *q == separator || isLineEnd(*q) || *q == '\v' ||
           *q == '\f';
}

// The usual short decimals (up to 15 digits, no exponent) exactly as from_chars gives them: the
// digits make an exact integer, 10^fraction digits is exact, and one division rounds once.
inline bool scanShortDecimal(const char*& p, const char* end, double& value, char separator) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* q = p;
    const bool negative = q < end && *q == '-';
    q += q < end && (*q == '-' || *q == '+');
    uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; q < end && *q >= '0' && *q <= '9'; ++q, ++digits)
        mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    if (q < end && *q == '.') {
        for (++q; q < end && *q >= '0' && *q <= '9'; ++q, ++digits, ++fraction)
            mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    }
    if (digits == 0 || digits > 15 || !endsNumber(q, end, separator))
        return false;
    // The sign goes on as a bit: a branch on it would be mispredicted for half the numbers.
    // Integers (colours, intensities) need no division.
    const double magnitude = fraction ? static_cast<double>(mantissa) / kPowers[fraction]
                                      : static_cast<double>(mantissa);
    uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    bits |= uint64_t(negative) << 63;
    std::memcpy(&value, &bits, sizeof value);
    p = q;
    return true;
}

// One decimal number (with an optional '+', as strtod takes it; nan and inf too) that ends at a
// blank, a separator or the line end. False, p unmoved, when none is there.
inline bool scanNumber(const char*& p, const char* end, double& value, char separator = ' ') {
    if (scanShortDecimal(p, end, value, separator))
        return true;
    const char* start = p + (p < end && *p == '+');
    const std::from_chars_result parsed = std::from_chars(start, end, value);
    if (parsed.ec != std::errc() || parsed.ptr == start)
        return false;
    const char* q = parsed.ptr;
    if (q < end &&
        !(*q == ' ' || *q == '\t' || *q == separator || isLineEnd(*q) || *q == '\v' || *q == '\f'))
        return false;
    p = q;
    return true;
}

// Scans up to `most` numbers of one line into values; returns how many, stopping at the first
// token that is not a number (*clean false then) or at the line end.
inline int scanLine(const char*& p, const char* end, double* values, int most, bool* clean,
                    char separator = ' ') {
    int got = 0;
    *clean = true;
    for (;;) {
        p = skipSeparators(p, end, separator);
        if (p == end || isLineEnd(*p))
            return got;
        double value;
        if (got == most || !scanNumber(p, end, value, separator)) {
            if (got < most)
                *clean = false;
            // The rest of the line is not read.
            while (p < end && !isLineEnd(*p))
                ++p;
            return got;
        }
        values[got++] = value;
    }
}
