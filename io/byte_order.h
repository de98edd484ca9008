// io/byte_order.h - loads of little- and big-endian values from unaligned bytes, and stores of
// little-endian ones.
#pragma once

#include <cstdint>
#include <cstring>

template <class T> inline T loadLittle(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <class T> inline void storeLittle(unsigned char* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

template <class T> inline T loadBig(const unsigned char* p) {
    unsigned char bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = p[sizeof(T) - 1 - i];
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}
