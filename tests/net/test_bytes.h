// tests/net/test_bytes.h - file contents for the HTTP tests: every range of them is different.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> testBytes(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed;
    for (uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = uint8_t(state >> 24);
    }
    return bytes;
}

inline std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, int64_t offset,
                                  int64_t length) {
    return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + length);
}
