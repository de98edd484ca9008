// io/laz/pointwise_items.h - the items of point formats 0-3 (version 2), all read from the one
// stream their chunk shares.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/integer_decompressor.h"
#include "io/laz/models.h"
#include "io/laz/streaming_median.h"

#include <cstdint>
#include <vector>

// Each item starts a chunk from the raw first point's bytes (init) and then turns the stream
// into the next point's bytes in the uncompressed record layout (decode). Models persist in the
// object, so a decoder reused across chunks allocates only once.

// The 20-byte core: coordinates, intensity, returns, classification, angle, user, source.
class Point10Item {
public:
    void init(const uint8_t* first);
    void decode(ArithmeticDecoder& dec, uint8_t* out);

private:
    int32_t x_ = 0, y_ = 0, z_ = 0;
    uint16_t intensity_ = 0;
    uint8_t bitByte_ = 0, classification_ = 0, angle_ = 0, user_ = 0;
    uint16_t source_ = 0;

    SymbolModel changed_;
    LazySymbolModels bitByteModels_{256, 256};
    LazySymbolModels classModels_{256, 256};
    LazySymbolModels angleModels_{2, 256};
    LazySymbolModels userModels_{256, 256};
    IntegerDecompressor intensityIc_{16, 4};
    IntegerDecompressor sourceIc_{16, 1};
    IntegerDecompressor dxIc_{32, 2};
    IntegerDecompressor dyIc_{32, 22};
    IntegerDecompressor zIc_{32, 20};
    uint16_t lastIntensity_[16] = {};
    StreamingMedian medianX_[16];
    StreamingMedian medianY_[16];
    int32_t lastZ_[8] = {};
};

// GPS time as the bit pattern of the double, in up to four interleaved sequences.
class GpsTime11Item {
public:
    void init(const uint8_t* first);
    // False when the stream keeps switching sequences, which no encoder writes.
    bool decode(ArithmeticDecoder& dec, uint8_t* out);

private:
    void readFull(ArithmeticDecoder& dec);

    SymbolModel multi_;
    SymbolModel zero_;
    IntegerDecompressor ic_{32, 9};
    uint64_t time_[4] = {};
    int32_t delta_[4] = {};
    int32_t counter_[4] = {};
    uint32_t last_ = 0, next_ = 0;
};

// 16-bit red, green and blue, byte by byte, green and blue predicted from red's change.
class Rgb12Item {
public:
    void init(const uint8_t* first);
    void decode(ArithmeticDecoder& dec, uint8_t* out);

private:
    uint16_t last_[3] = {};
    SymbolModel used_;
    SymbolModel byteModels_[6];
};

// Extra bytes, each predicted by its value in the previous point.
class ByteItem {
public:
    explicit ByteItem(uint32_t size) : last_(size), models_(size) {}
    void init(const uint8_t* first);
    void decode(ArithmeticDecoder& dec, uint8_t* out);

private:
    std::vector<uint8_t> last_;
    std::vector<SymbolModel> models_;
};
