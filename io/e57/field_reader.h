// io/e57/field_reader.h - random access to the values of one reassembled bytestream.
#pragma once

#include "io/e57/scan_layout.h"

#include <cstdint>
#include <cstring>

// Integers are packed as raw - minimum in `bits` bits, least significant bit first, with no
// alignment; floats are plain little-endian IEEE values. The stream must be followed by at
// least 16 readable bytes (SectionStreams pads it), so value() loads whole words anywhere.
class FieldReader {
public:
    FieldReader() = default;
    FieldReader(const FieldCodec& codec, const uint8_t* data, uint64_t size)
        : codec_(codec), data_(data), size_(size) {}

    // How many whole values the stream holds; a 0-bit field holds any number.
    uint64_t available() const {
        if (codec_.type == FieldCodec::Float)
            return size_ / (codec_.single ? 4 : 8);
        if (codec_.bits == 0)
            return UINT64_MAX;
        return size_ / codec_.bits * 8 + size_ % codec_.bits * 8 / codec_.bits;
    }

    double value(uint64_t i) const {
        if (codec_.type == FieldCodec::Float) {
            if (codec_.single) {
                float f;
                std::memcpy(&f, data_ + i * 4, 4);
                return f;
            }
            double d;
            std::memcpy(&d, data_ + i * 8, 8);
            return d;
        }
        const int64_t raw = int64_t(uint64_t(codec_.minimum) + packed(i));
        return codec_.type == FieldCodec::Integer ? double(raw)
                                                  : double(raw) * codec_.scale + codec_.offset;
    }

    // The unsigned offset from the minimum of value i (Integer and ScaledInteger).
    uint64_t packed(uint64_t i) const {
        const unsigned b = codec_.bits;
        if (b == 0)
            return 0;
        const uint64_t bit = i * b;
        const uint8_t* p = data_ + bit / 8;
        const unsigned shift = unsigned(bit % 8);
        // Up to 71 bits: the low word gives 64 - shift of them, the next word the rest.
        uint64_t low, high;
        std::memcpy(&low, p, 8);
        std::memcpy(&high, p + 8, 8);
        uint64_t v = low >> shift;
        if (shift != 0)
            v |= high << (64 - shift);
        return b == 64 ? v : v & ((uint64_t(1) << b) - 1);
    }

private:
    FieldCodec codec_;
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};
