// io/laz/layered_items.h - the items of point formats 6-8 (versions 3 and 4): each field group
// has its own stream (layer) and every item keeps four contexts, one per scanner channel.
#pragma once

#include "io/laz/arithmetic_decoder.h"
#include "io/laz/integer_decompressor.h"
#include "io/laz/models.h"
#include "io/laz/streaming_median.h"

#include <cstdint>
#include <vector>

// The POINT14 layers, in the order of their byte counts in a chunk.
enum Point14Layer {
    kLayerXY,
    kLayerZ,
    kLayerClass,
    kLayerFlags,
    kLayerIntensity,
    kLayerAngle,
    kLayerUser,
    kLayerSource,
    kLayerGps,
    kPoint14Layers
};

// The 30-byte core of a LAS 1.4 record, unpacked.
struct Point14Record {
    int32_t x = 0, y = 0, z = 0;
    uint16_t intensity = 0;
    uint8_t returnNumber = 0, returnCount = 0;
    uint8_t classFlags = 0, channel = 0, scanDirection = 0, edge = 0;
    uint8_t classification = 0, user = 0;
    int16_t angle = 0;
    uint16_t source = 0;
    uint64_t gps = 0;
    bool gpsChanged = false;

    void load(const uint8_t* p);
    void store(uint8_t* p) const;
};

// Everything one scanner channel's points are predicted from.
struct Point14Context {
    bool used = false;
    Point14Record last;

    LazySymbolModels changed{8, 128};
    SymbolModel channel;
    LazySymbolModels returnCounts{16, 16};
    LazySymbolModels returnNumbers{16, 16};
    SymbolModel returnNumberSame;
    IntegerDecompressor dxIc{32, 2};
    IntegerDecompressor dyIc{32, 22};
    StreamingMedian medianX[12];
    StreamingMedian medianY[12];
    IntegerDecompressor zIc{32, 20};
    int32_t lastZ[8] = {};
    LazySymbolModels classModels{64, 256};
    LazySymbolModels flagModels{64, 64};
    IntegerDecompressor intensityIc{16, 4};
    uint16_t lastIntensity[8] = {};
    IntegerDecompressor angleIc{16, 2};
    LazySymbolModels userModels{64, 256};
    IntegerDecompressor sourceIc{16, 1};

    SymbolModel timeMulti;
    SymbolModel timeZero;
    IntegerDecompressor timeIc{32, 9};
    uint64_t time[4] = {};
    int32_t delta[4] = {};
    int32_t counter[4] = {};
    uint32_t timeLast = 0, timeNext = 0;

    void create(const Point14Record& from, uint32_t channel);
};

// POINT14. A null layer decoder means the layer is empty or not wanted: its fields keep the
// context's last values.
class Point14Item {
public:
    explicit Point14Item(uint16_t version) : version_(version) {}
    void init(const uint8_t* first);
    // Decodes the next point into out and returns the channel the other items must use for
    // it. False in `valid` when the time layer keeps switching sequences (no encoder does).
    uint32_t decode(ArithmeticDecoder* const* layers, uint8_t* out, bool& valid);
    uint32_t firstChannel() const { return firstChannel_; }

private:
    bool decodeTime(ArithmeticDecoder& dec, Point14Context& c);

    uint16_t version_;
    Point14Context contexts_[4];
    uint32_t current_ = 0;
    uint32_t firstChannel_ = 0;
};

// How RGB14, RGBNIR14 and BYTE14 follow the channel POINT14 hands them: which context's
// models decode a point and which context's last value it is predicted from and stored in.
class ItemContexts {
public:
    explicit ItemContexts(uint16_t version) : version_(version) {}
    void init(uint32_t channel) {
        current_ = channel;
        for (bool& u : used_)
            u = false;
        used_[channel] = true;
    }
    // Returns the context whose models to use; sets base to the context whose value to
    // predict from. created is true when that context is new and must copy its base.
    uint32_t select(uint32_t channel, uint32_t& base, bool& created);

private:
    uint16_t version_;
    uint32_t current_ = 0;
    bool used_[4] = {};
};

// RGB14 (nir false) and RGBNIR14 (nir true). Layers: RGB, then NIR.
class RgbNir14Item {
public:
    RgbNir14Item(uint16_t version, bool nir) : contexts_(version), nir_(nir) {}
    void init(const uint8_t* first, uint32_t channel);
    void decode(ArithmeticDecoder* rgbLayer, ArithmeticDecoder* nirLayer, uint32_t channel,
                uint8_t* out);

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

// BYTE14: one layer per extra byte.
class Byte14Item {
public:
    Byte14Item(uint16_t version, uint32_t size);
    void init(const uint8_t* first, uint32_t channel);
    void decode(ArithmeticDecoder* const* layers, uint32_t channel, uint8_t* out);

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
