// io/laz/return_tables.h - contexts from the number of returns and the return number.
#pragma once

#include <cstdint>

// Indexed [number of returns][return number]: which median and intensity slot a point uses,
// and how far it is from its pulse's last return (for z).
extern const uint8_t kMap10[8][8];
extern const uint8_t kLevel10[8][8];
extern const uint8_t kMap14[16][16];
extern const uint8_t kLevel14[16][16];

// Contexts from the size class k of the previous integer in the point.
inline uint32_t contextY(uint32_t k) {
    return k < 20 ? (k & ~1u) : 20;
}
inline uint32_t contextZ(uint32_t k) {
    return k < 18 ? (k & ~1u) : 18;
}
