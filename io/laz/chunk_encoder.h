// io/laz/chunk_encoder.h - uncompressed LAS 1.4 records to one layered chunk's bytes, the
// encoder's side of chunk_decoder.h.
#pragma once

#include "io/laz/arithmetic_encoder.h"
#include "io/laz/layered_item_encoders.h"
#include "io/laz/laz_layout.h"

#include <cstdint>
#include <memory>
#include <vector>

// Compresses chunks of one layered layout (point formats 6, 7 and 8, with or without extra
// bytes: see layeredLazLayout), one at a time. Every model lives here and starts afresh for
// each chunk, so one encoder serves a whole file; encoders on several threads may make the
// chunks of one file, each with its own LazChunkEncoder.
//
// A chunk is what ChunkDecoder reads: the first record raw, the u32 point count, a u32 byte
// count per layer (POINT14's nine, one for RGB, one for NIR, one per extra byte), then the
// layers. A layer whose fields are the same in every record of the chunk is left empty (zero
// bytes); the XY layer, which every other depends on, is always written.
class LazChunkEncoder {
public:
    explicit LazChunkEncoder(const LazLayout& layout);
    ~LazChunkEncoder();
    LazChunkEncoder(const LazChunkEncoder&) = delete;
    LazChunkEncoder& operator=(const LazChunkEncoder&) = delete;

    // Whether the layout is one this encoder writes: compressor 3, POINT14 first, then any of
    // RGB14 or RGBNIR14 and BYTE14, of versions 3 or 4, adding up to the record length.
    bool valid() const { return valid_; }

    // Compresses `count` records of layout().recordLength bytes each, laid out as in a LAS
    // file (little-endian). Empty when count is 0 (a chunk holds at least one point) or the
    // layout is not valid().
    std::vector<uint8_t> encode(const uint8_t* records, uint32_t count);
    // The same into out, whose storage is reused; false, with out empty, where the other gives
    // an empty result.
    bool encode(const uint8_t* records, uint32_t count, std::vector<uint8_t>& out);

    const LazLayout& layout() const { return layout_; }

private:
    void findChangingLayers(const uint8_t* records, uint32_t count);

    LazLayout layout_;
    bool valid_ = false;
    std::unique_ptr<Point14Encoder> point14_;
    std::unique_ptr<RgbNir14Encoder> rgb14_;
    std::unique_ptr<Byte14Encoder> byte14_;
    uint32_t rgbAt_ = 0, byteAt_ = 0; // item offsets in a record; 0 when absent
    std::vector<ArithmeticEncoder> layers_;
    std::vector<ArithmeticEncoder*> active_; // per layer: its encoder, or null to leave it empty
    std::vector<uint8_t> differ_;            // per record byte: the bits that differ from record 0
};
