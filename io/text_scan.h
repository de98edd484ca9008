// io/text_scan.h - numbers and lines of the text formats, straight from the mapped bytes.
#pragma once

#include <charconv>
#include <cstdint>

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

// One decimal number (with an optional '+', as strtod takes it; nan and inf too) that ends at a
// blank, a separator or the line end. False, p unmoved, when none is there.
inline bool scanNumber(const char*& p, const char* end, double& value, char separator = ' ') {
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
