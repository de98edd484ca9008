// io/e57/crc32c.h - the Castagnoli CRC that guards every page of an E57 file.
#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32C (reflected polynomial 0x82F63B78, register and result inverted): 0xE3069283 for
// the bytes "123456789".
uint32_t crc32c(const uint8_t* bytes, size_t size);
