// io/laz/layered_items.cpp - decoding the version-3 and version-4 items layer by layer.
#include "io/laz/layered_items.h"

#include "io/laz/return_tables.h"
#include "io/laz/rgb_step.h"

#include "io/byte_order.h"

#include <cstring>

namespace {

constexpr int kMaxSequenceSwitches = 8;

} // namespace

// --- POINT14 record ---

void Point14Record::load(const uint8_t* p) {
    x = loadLittle<int32_t>(p);
    y = loadLittle<int32_t>(p + 4);
    z = loadLittle<int32_t>(p + 8);
    intensity = loadLittle<uint16_t>(p + 12);
    returnNumber = p[14] & 15;
    returnCount = p[14] >> 4;
    classFlags = p[15] & 15;
    channel = (p[15] >> 4) & 3;
    scanDirection = (p[15] >> 6) & 1;
    edge = p[15] >> 7;
    classification = p[16];
    user = p[17];
    angle = loadLittle<int16_t>(p + 18);
    source = loadLittle<uint16_t>(p + 20);
    gps = loadLittle<uint64_t>(p + 22);
    gpsChanged = false;
}

void Point14Record::store(uint8_t* p) const {
    storeLittle(p, x);
    storeLittle(p + 4, y);
    storeLittle(p + 8, z);
    storeLittle(p + 12, intensity);
    p[14] = uint8_t(returnNumber | (returnCount << 4));
    p[15] = uint8_t(classFlags | (channel << 4) | (scanDirection << 6) | (edge << 7));
    p[16] = classification;
    p[17] = user;
    storeLittle(p + 18, angle);
    storeLittle(p + 20, source);
    storeLittle(p + 22, gps);
}

void Point14Context::create(const Point14Record& from, uint32_t newChannel) {
    used = true;
    last = from;
    last.gpsChanged = false;
    last.channel = uint8_t(newChannel);

    changed.reset();
    channel.init(3);
    returnCounts.reset();
    returnNumbers.reset();
    returnNumberSame.init(13);
    dxIc.reset();
    dyIc.reset();
    for (int i = 0; i < 12; ++i) {
        medianX[i].reset();
        medianY[i].reset();
    }
    zIc.reset();
    classModels.reset();
    flagModels.reset();
    intensityIc.reset();
    angleIc.reset();
    userModels.reset();
    sourceIc.reset();
    for (int i = 0; i < 8; ++i) {
        lastZ[i] = from.z;
        lastIntensity[i] = from.intensity;
    }

    timeMulti.init(515);
    timeZero.init(5);
    timeIc.reset();
    time[0] = from.gps;
    time[1] = time[2] = time[3] = 0;
    std::memset(delta, 0, sizeof delta);
    std::memset(counter, 0, sizeof counter);
    timeLast = timeNext = 0;
}

// --- POINT14 ---

void Point14Item::init(const uint8_t* first) {
    Point14Record p;
    p.load(first);
    for (Point14Context& c : contexts_)
        c.used = false;
    current_ = firstChannel_ = p.channel;
    contexts_[current_].create(p, current_);
}

bool Point14Item::decodeTime(ArithmeticDecoder& dec, Point14Context& c) {
    for (int attempt = 0; attempt < kMaxSequenceSwitches; ++attempt) {
        uint32_t& last = c.timeLast;
        const int64_t d = c.delta[last];
        if (d == 0) {
            const uint32_t s = dec.symbol(c.timeZero);
            if (s == 0) {
                c.delta[last] = c.timeIc.decompress(dec, 0, 0);
                c.time[last] += uint64_t(int64_t(c.delta[last]));
                c.counter[last] = 0;
                return true;
            }
            if (s >= 2) {
                last = (last + s - 1) & 3;
                continue;
            }
        } else {
            const uint32_t s = dec.symbol(c.timeMulti);
            int32_t x = 0;
            if (s == 1) {
                c.time[last] += uint64_t(int64_t(c.timeIc.decompress(dec, c.delta[last], 1)));
                c.counter[last] = 0;
                return true;
            }
            if (s == 0 || s == 500 || s == 510) {
                if (s == 0)
                    x = c.timeIc.decompress(dec, 0, 7);
                else if (s == 500)
                    x = c.timeIc.decompress(dec, int32_t(uint32_t(500 * d)), 4);
                else
                    x = c.timeIc.decompress(dec, int32_t(uint32_t(-10 * d)), 6);
                if (++c.counter[last] > 3) {
                    c.delta[last] = x;
                    c.counter[last] = 0;
                }
                c.time[last] += uint64_t(int64_t(x));
                return true;
            }
            if (s < 500) {
                x = c.timeIc.decompress(dec, int32_t(uint32_t(int64_t(s) * d)), s < 10 ? 2 : 3);
                c.time[last] += uint64_t(int64_t(x));
                return true;
            }
            if (s < 510) {
                x = c.timeIc.decompress(dec, int32_t(uint32_t((500 - int64_t(s)) * d)), 5);
                c.time[last] += uint64_t(int64_t(x));
                return true;
            }
            if (s >= 512) {
                last = (last + s - 511) & 3;
                continue;
            }
        }
        // The full time: the high half predicted from the current sequence, the low half raw.
        c.timeNext = (c.timeNext + 1) & 3;
        const int32_t high = c.timeIc.decompress(dec, int32_t(uint32_t(c.time[last] >> 32)), 8);
        const uint32_t low = dec.readInt();
        c.time[c.timeNext] = (uint64_t(uint32_t(high)) << 32) | low;
        last = c.timeNext;
        c.delta[last] = 0;
        c.counter[last] = 0;
        return true;
    }
    return false;
}

uint32_t Point14Item::decode(ArithmeticDecoder* const* layers, uint8_t* out, bool& valid) {
    // A local copy stays in registers (see ArithmeticDecoder); stored back once XY is done.
    ArithmeticDecoder xy = *layers[kLayerXY];
    Point14Context* c = &contexts_[current_];
    Point14Record* last = &c->last;

    const uint32_t lpr = (last->returnNumber == 1 ? 1 : 0) +
                         (last->returnNumber >= last->returnCount ? 2 : 0) +
                         (last->gpsChanged ? 4 : 0);
    const uint32_t changed = xy.symbol(c->changed[lpr]);

    uint32_t itemChannel = 0;
    if (changed & 64) {
        const uint32_t next = (current_ + xy.symbol(c->channel) + 1) & 3;
        if (!contexts_[next].used)
            contexts_[next].create(*last, next);
        current_ = next;
        c = &contexts_[current_];
        last = &c->last;
        last->channel = uint8_t(next);
        itemChannel = next;
    }
    if (version_ >= 4)
        itemChannel = current_;

    if (changed & 4)
        last->returnCount = uint8_t(xy.symbol(c->returnCounts[last->returnCount]));
    switch (changed & 3) {
        case 1:
            last->returnNumber = (last->returnNumber + 1) & 15;
            break;
        case 2:
            last->returnNumber = (last->returnNumber + 15) & 15;
            break;
        case 3:
            if (changed & 16)
                last->returnNumber = uint8_t(xy.symbol(c->returnNumbers[last->returnNumber]));
            else
                last->returnNumber =
                    uint8_t((last->returnNumber + xy.symbol(c->returnNumberSame) + 2) & 15);
            break;
        default:
            break;
    }

    const uint32_t n = last->returnCount;
    const uint32_t r = last->returnNumber;
    const uint32_t g = (changed >> 4) & 1;
    const uint32_t m = kMap14[n][r];
    const uint32_t l = kLevel14[n][r];
    const uint32_t cpr = (r == 1 ? 2 : 0) + (r >= n ? 1 : 0);
    const uint32_t single = n == 1 ? 1 : 0;

    const uint32_t i = (m << 1) | g;
    const int32_t dx = c->dxIc.decompress(xy, c->medianX[i].get(), single);
    last->x = int32_t(uint32_t(last->x) + uint32_t(dx));
    c->medianX[i].add(dx);
    const int32_t dy = c->dyIc.decompress(xy, c->medianY[i].get(), single + contextY(c->dxIc.k()));
    last->y = int32_t(uint32_t(last->y) + uint32_t(dy));
    c->medianY[i].add(dy);
    *layers[kLayerXY] = xy;

    if (ArithmeticDecoder* zl = layers[kLayerZ]) {
        const uint32_t kk = (c->dxIc.k() + c->dyIc.k()) / 2;
        last->z = c->zIc.decompress(*zl, c->lastZ[l], single + contextZ(kk));
        c->lastZ[l] = last->z;
    }
    if (ArithmeticDecoder* cl = layers[kLayerClass])
        last->classification = uint8_t(
            cl->symbol(c->classModels[((last->classification & 0x1F) << 1) + (cpr == 3 ? 1 : 0)]));
    if (ArithmeticDecoder* fl = layers[kLayerFlags]) {
        const uint32_t f0 = (last->edge << 5) | (last->scanDirection << 4) | last->classFlags;
        const uint32_t f = fl->symbol(c->flagModels[f0]);
        last->edge = (f >> 5) & 1;
        last->scanDirection = (f >> 4) & 1;
        last->classFlags = f & 15;
    }
    if (ArithmeticDecoder* il = layers[kLayerIntensity]) {
        const uint32_t j = (cpr << 1) | g;
        last->intensity = uint16_t(c->intensityIc.decompress(*il, c->lastIntensity[j], cpr));
        c->lastIntensity[j] = last->intensity;
    }
    if (ArithmeticDecoder* al = layers[kLayerAngle]; al && (changed & 8))
        last->angle = int16_t(uint16_t(c->angleIc.decompress(*al, uint16_t(last->angle), g)));
    if (ArithmeticDecoder* ul = layers[kLayerUser])
        last->user = uint8_t(ul->symbol(c->userModels[last->user >> 2]));
    if (ArithmeticDecoder* sl = layers[kLayerSource]; sl && (changed & 32))
        last->source = uint16_t(c->sourceIc.decompress(*sl, last->source, 0));
    if (ArithmeticDecoder* gl = layers[kLayerGps]; gl && g) {
        if (!decodeTime(*gl, *c))
            valid = false;
        last->gps = c->time[c->timeLast];
    }

    last->store(out);
    last->gpsChanged = g != 0;
    return itemChannel;
}

// --- the other items' contexts ---

uint32_t ItemContexts::select(uint32_t channel, uint32_t& base, bool& created) {
    base = current_;
    created = false;
    if (channel != current_) {
        current_ = channel;
        if (!used_[channel]) {
            used_[channel] = true;
            created = true;
        } else if (version_ >= 4) {
            base = channel;
        }
        // Version 3 keeps predicting from, and storing into, the context it left, for this
        // one point: encoders of that version do the same.
    }
    return current_;
}

// --- RGB14 and RGBNIR14 ---

void RgbNir14Item::init(const uint8_t* first, uint32_t channel) {
    contexts_.init(channel);
    Context& c = context_[channel];
    for (int i = 0; i < (nir_ ? 4 : 3); ++i)
        c.last[i] = loadLittle<uint16_t>(first + 2 * i);
    for (Context& other : context_)
        other.modelsReady = false;
}

void RgbNir14Item::decode(ArithmeticDecoder* rgbLayer, ArithmeticDecoder* nirLayer,
                          uint32_t channel, uint8_t* out) {
    uint32_t baseIndex = 0;
    bool created = false;
    const uint32_t ci = contexts_.select(channel, baseIndex, created);
    Context& c = context_[ci];
    if (created) {
        std::memcpy(c.last, context_[baseIndex].last, sizeof c.last);
        baseIndex = ci;
    }
    if (!c.modelsReady) {
        c.used.init(128);
        for (SymbolModel& m : c.bytes)
            m.init(256);
        c.nirUsed.init(4);
        c.nirBytes[0].init(256);
        c.nirBytes[1].init(256);
        c.modelsReady = true;
    }
    uint16_t* base = context_[baseIndex].last;
    if (rgbLayer)
        decodeRgb(*rgbLayer, c.used, c.bytes, base);
    if (nir_ && nirLayer) {
        const uint32_t u = nirLayer->symbol(c.nirUsed);
        uint32_t lo = base[3] & 0xFF, hi = base[3] >> 8;
        if (u & 1)
            lo = (lo + nirLayer->symbol(c.nirBytes[0])) & 0xFF;
        if (u & 2)
            hi = (hi + nirLayer->symbol(c.nirBytes[1])) & 0xFF;
        base[3] = uint16_t((hi << 8) | lo);
    }
    std::memcpy(out, base, nir_ ? 8 : 6);
}

// --- BYTE14 ---

Byte14Item::Byte14Item(uint16_t version, uint32_t size) : contexts_(version), size_(size) {
    for (Context& c : context_) {
        c.last.assign(size, 0);
        c.models.resize(size);
        c.modelReady.assign(size, 0);
    }
}

void Byte14Item::init(const uint8_t* first, uint32_t channel) {
    contexts_.init(channel);
    std::memcpy(context_[channel].last.data(), first, size_);
    for (Context& c : context_)
        c.modelReady.assign(size_, 0);
}

void Byte14Item::decode(ArithmeticDecoder* const* layers, uint32_t channel, uint8_t* out) {
    uint32_t baseIndex = 0;
    bool created = false;
    const uint32_t ci = contexts_.select(channel, baseIndex, created);
    Context& c = context_[ci];
    if (created) {
        c.last = context_[baseIndex].last;
        c.modelReady.assign(size_, 0);
        baseIndex = ci;
    }
    std::vector<uint8_t>& base = context_[baseIndex].last;
    for (uint32_t i = 0; i < size_; ++i) {
        if (!layers[i])
            continue;
        if (!c.modelReady[i]) {
            c.models[i].init(256);
            c.modelReady[i] = 1;
        }
        base[i] = uint8_t(base[i] + layers[i]->symbol(c.models[i]));
    }
    std::memcpy(out, base.data(), size_);
}
