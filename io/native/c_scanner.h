// io/native/c_scanner.h - the C library's "%f" and the native header's "# points = %lld", one
// character at a time, for the texts the in-place parser leaves.
#pragma once

#include "io/native/number_parsing.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace native {

// The C library's "%f", character by character: what it consumes (greedily, pushing back only
// the character that ends the number), when it fails, and the text it hands to strtof. It
// reads "nan" without any "(...)" and "inf" or "infinity"; after a leading "0x" it takes hex
// digits and a "p" exponent; a text like "1e" or "0x1p" is consumed whole although strtof
// uses only its start.
template <class Stream> bool scanFloat(Stream& in, float* value) {
    std::string text;
    int c = in.get();
    if (c == EOF)
        return false;
    size_t signs = 0;
    if (c == '-' || c == '+') {
        text += static_cast<char>(c);
        signs = 1;
        c = in.get();
        if (c == EOF)
            return false;
    }
    if (lower(c) == 'n' || lower(c) == 'i') {
        const char* rest = lower(c) == 'n' ? "an" : "nf";
        for (; *rest; ++rest) {
            text += static_cast<char>(c);
            c = in.get();
            if (lower(c) != *rest)
                return false;
        }
        text += static_cast<char>(c);
        if (lower(c) == 'f') {
            c = in.get();
            if (lower(c) != 'i') {
                in.unget(c);
                return convert(text, value);
            }
            for (rest = "nity"; *rest; ++rest) {
                text += static_cast<char>(c);
                c = in.get();
                if (lower(c) != *rest)
                    return false;
            }
            text += static_cast<char>(c);
        }
        return convert(text, value);
    }

    int exponentChar = 'e';
    bool hex = false, gotDigit = false, gotDot = false, gotExponent = false;
    if (c == '0') {
        text += '0';
        c = in.get();
        if (lower(c) == 'x') {
            text += static_cast<char>(c);
            hex = true;
            exponentChar = 'p';
            c = in.get();
        } else {
            gotDigit = true;
        }
    }
    for (;;) {
        if (isDigit(c) || (!gotExponent && hex && isHexDigit(c))) {
            gotDigit = true;
        } else if (gotExponent && lower(text.back()) == exponentChar && (c == '-' || c == '+')) {
        } else if (gotDigit && !gotExponent && lower(c) == exponentChar) {
            gotExponent = gotDot = true;
        } else if (!gotDot && c == '.') {
            gotDot = true;
        } else {
            in.unget(c);
            break;
        }
        text += static_cast<char>(c);
        c = in.get();
        if (c == EOF)
            break;
    }
    if (text.size() == signs || (hex && text.size() == signs + 2))
        return false;
    return convert(text, value);
}

// "# points = %lld\n" as the C library scans it: '#' first, then each blank of the format
// skips any white space, and the trailing "\n" skips all white space after the count. A count
// beyond 64 bits saturates, as strtoll does; any value beyond the 32-bit range is equally
// unallocatable, so saturating earlier changes nothing.
template <class Stream> bool scanHeader(Stream& in, int64_t* declared) {
    if (in.get() != '#')
        return false;
    auto literal = [&in](int expected, bool afterBlanks) {
        int c = in.get();
        while (afterBlanks && isBlank(c))
            c = in.get();
        return c == expected;
    };
    if (!literal('p', true))
        return false;
    for (const char* rest = "oints"; *rest; ++rest)
        if (!literal(*rest, false))
            return false;
    if (!literal('=', true))
        return false;

    int c = in.get();
    while (isBlank(c))
        c = in.get();
    const bool negative = c == '-';
    if (c == '-' || c == '+')
        c = in.get();
    int64_t magnitude = 0;
    bool anyDigit = false;
    for (; isDigit(c); c = in.get()) {
        anyDigit = true;
        magnitude = std::min<int64_t>(magnitude * 10 + (c - '0'), int64_t(1) << 40);
    }
    in.unget(c);
    if (!anyDigit)
        return false;
    *declared = negative ? -magnitude : magnitude;

    do
        c = in.get();
    while (isBlank(c));
    in.unget(c);
    return true;
}

} // namespace native
