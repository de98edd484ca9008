// io/laz/chunk_decoder.h - one chunk's compressed bytes back to uncompressed LAS records.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/layered_items.h"
#include "io/laz/laz_layout.h"
#include "io/laz/pointwise_items.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Which fields a caller needs. Viewer: every field the viewer keeps (the point's, colour), so a
// layered chunk's near infrared and extra bytes layers are stepped over; their fields then hold
// the chunk's first values.
enum class LazFields { All, Viewer };

// Decodes chunks of one layout, one at a time; every model lives here and is reset per chunk,
// so one decoder per thread serves a whole file.
class ChunkDecoder {
public:
    ChunkDecoder(const LazLayout& layout, LazFields fields);
    ~ChunkDecoder();
    ChunkDecoder(const ChunkDecoder&) = delete;
    ChunkDecoder& operator=(const ChunkDecoder&) = delete;

    // Starts on the chunk at begin, of `count` points (count >= 1), which must lie within
    // [begin, end), or be cut short by end when cut is set (a file that ends inside it). False
    // when it can't be decoded at all: its head doesn't fit, or a layered chunk's own count
    // differs from count.
    bool start(const uint8_t* begin, const uint8_t* end, uint64_t count, bool cut = false);
    // Decodes the next n records of the chunk (the raw first point first) into out, which
    // holds n * recordLength bytes. False once the chunk shows itself corrupt or cut short:
    // a stream reads past its end, or the time keeps switching sequences.
    bool read(uint8_t* out, uint64_t n);
    // After a read that failed because a stream ran past end: how many of the chunk's records,
    // from its first, were decoded from bytes before end alone. 0 after any other failure.
    uint64_t sound() const { return sound_; }
    // After the last read: the chunk's length in bytes, which is where the next one begins
    // (for a pointwise chunk, as far as its stream read).
    uint64_t consumed() const;

private:
    bool startPointwise();
    bool startLayered();
    bool readPointwise(uint8_t* out, uint64_t n);
    bool readLayered(uint8_t* out, uint64_t n);

    LazLayout layout_;
    LazFields fields_;
    const uint8_t* begin_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint64_t count_ = 0;
    uint64_t next_ = 0; // index in the chunk of the next record to read
    uint64_t layeredBytes_ = 0;
    uint64_t sound_ = 0;
    bool valid_ = false;
    bool cut_ = false;     // end lies inside the chunk: every record is checked for the overrun
    bool overran_ = false; // the last read failed because a stream ran past a cut
    ArithmeticDecoder stream_;

    // Pointwise items, in list order (only one of each kind can occur, BYTE last).
    std::unique_ptr<Point10Item> point10_;
    std::unique_ptr<GpsTime11Item> gps11_;
    std::unique_ptr<Rgb12Item> rgb12_;
    std::unique_ptr<ByteItem> byte_;

    // Layered items.
    std::unique_ptr<Point14Item> point14_;
    std::unique_ptr<RgbNir14Item> rgb14_;
    std::unique_ptr<Byte14Item> byte14_;
    std::vector<ArithmeticDecoder> layers_;
    std::vector<ArithmeticDecoder*> active_; // per layer: its decoder, or null to leave alone
};

// A layered chunk's length and stored point count, read from its layer byte counts without
// decoding it; false when they don't fit in [begin, end).
bool layeredChunkExtent(const LazLayout& layout, const uint8_t* begin, const uint8_t* end,
                        uint64_t& bytes, uint64_t& count);
