// io/laz/layered_item_encoders.h - the encoder's side of the items of point formats 6-8
// (layered_items.h): the same contexts and models, fed the values the decoder must give back.
#pragma once

#include "io/laz/arithmetic_encoder.h"
#include "io/laz/layered_items.h"
#include "io/laz/models.h"
#include "io/laz/streaming_median.h"

#include <cstdint>
#include <vector>

// Point14Context with compressors in place of decompressors, field for field.
struct Point14EncoderContext {
    bool used = false;
    Point14Record last;

    LazySymbolModels changed{8, 128};
    SymbolModel channel;
    LazySymbolModels returnCounts{16, 16};
    LazySymbolModels returnNumbers{16, 16};
    SymbolModel returnNumberSame;
    IntegerCompressor dxIc{32, 2};
    IntegerCompressor dyIc{32, 22};
    StreamingMedian medianX[12];
    StreamingMedian medianY[12];
    IntegerCompressor zIc{32, 20};
    int32_t lastZ[8] = {};
    LazySymbolModels classModels{64, 256};
    LazySymbolModels flagModels{64, 64};
    IntegerCompressor intensityIc{16, 4};
    uint16_t lastIntensity[8] = {};
    IntegerCompressor angleIc{16, 2};
    LazySymbolModels userModels{64, 256};
    IntegerCompressor sourceIc{16, 1};

    SymbolModel timeMulti;
    SymbolModel timeZero;
    IntegerCompressor timeIc{32, 9};
    uint64_t time[4] = {};
    int32_t delta[4] = {};
    int32_t counter[4] = {};
    uint32_t timeLast = 0, timeNext = 0;

    void create(const Point14Record& from, uint32_t channel);
};

// POINT14. `layers` holds an encoder per layer, or null for a layer the chunk leaves empty,
// which is allowed only when that layer's fields are the same in every point of the chunk
// (the decoder then keeps the first point's values).
class Point14Encoder {
public:
    explicit Point14Encoder(uint16_t version) : version_(version) {}
    // Starts a chunk whose raw first point is `first`.
    void init(const uint8_t* first);
    // Codes the next 30-byte record and returns the channel the other items must use for it,
    // the one Point14Item::decode will return.
    uint32_t encode(ArithmeticEncoder* const* layers, const uint8_t* record);
    uint32_t firstChannel() const { return firstChannel_; }

private:
    void encodeTime(ArithmeticEncoder& enc, Point14EncoderContext& c, uint64_t time);
    void encodeFullTime(ArithmeticEncoder& enc, Point14EncoderContext& c, uint64_t time);

    uint16_t version_;
    Point14EncoderContext contexts_[4];
    uint32_t current_ = 0;
    uint32_t firstChannel_ = 0;
};

// RGB14 (nir false) and RGBNIR14 (nir true), in the contexts ItemContexts picks, as
// RgbNir14Item. A null layer encoder leaves that layer empty (the same rule as POINT14's).
class RgbNir14Encoder {
public:
    RgbNir14Encoder(uint16_t version, bool nir) : contexts_(version), nir_(nir) {}
    void init(const uint8_t* first, uint32_t channel);
    void encode(ArithmeticEncoder* rgbLayer, ArithmeticEncoder* nirLayer, uint32_t channel,
                const uint8_t* item);

private:
    struct Context {
        uint16_t last[4] = {}; // red, green, blue, near infrared
        SymbolModel used;
        SymbolModel bytes[6];
        SymbolModel nirUsed;
        SymbolModel nirBytes[2];
        bool modelsReady = false;
    };
    ItemContexts contexts_;
    Context context_[4];
    bool nir_;
};

// BYTE14: one layer per extra byte, as Byte14Item.
class Byte14Encoder {
public:
    Byte14Encoder(uint16_t version, uint32_t size);
    void init(const uint8_t* first, uint32_t channel);
    void encode(ArithmeticEncoder* const* layers, uint32_t channel, const uint8_t* item);

private:
    struct Context {
        std::vector<uint8_t> last;
        std::vector<SymbolModel> models;
        std::vector<uint8_t> modelReady;
    };
    ItemContexts contexts_;
    Context context_[4];
    uint32_t size_;
};
