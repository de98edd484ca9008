// io/e57/crc32c.cpp - CRC-32C, eight bytes per step through eight tables.
#include "io/e57/crc32c.h"

#include <cstring>

namespace {

struct Tables {
    uint32_t t[8][256];
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1u)));
            t[0][i] = c;
        }
        // t[k][i] is the register after byte i followed by k zero bytes, so eight bytes can be
        // folded in with one lookup each instead of eight dependent steps.
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};

const Tables tables;

} // namespace

uint32_t crc32c(const uint8_t* bytes, size_t size) {
    const auto& t = tables.t;
    uint32_t c = 0xFFFFFFFFu;
    for (; size >= 8; bytes += 8, size -= 8) {
        uint32_t low, high;
        std::memcpy(&low, bytes, 4);
        std::memcpy(&high, bytes + 4, 4);
        // The word loads assume a little-endian host, as every build target here is.
        low ^= c;
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^
            t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; size > 0; ++bytes, --size)
        c = (c >> 8) ^ t[0][(c ^ *bytes) & 0xFF];
    return ~c;
}
