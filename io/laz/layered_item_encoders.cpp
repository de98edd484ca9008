// io/laz/layered_item_encoders.cpp - encoding the version-3 and version-4 items layer by layer,
// step for step as layered_items.cpp decodes them.
#include "io/laz/layered_item_encoders.h"

#include "io/laz/return_tables.h"
#include "io/laz/rgb_step_encoder.h"

#include "io/byte_order.h"

#include <cmath>
#include <cstring>

namespace {

bool fitsInt32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

int32_t wrap32(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

// The sequence (1..3 steps on from `from`) whose time the new one is within 32 bits of, or 0.
uint32_t closeSequence(const uint64_t* times, uint32_t from, uint64_t time) {
    for (uint32_t step = 1; step < 4; ++step)
        if (fitsInt32(int64_t(time - times[(from + step) & 3])))
            return step;
    return 0;
}

} // namespace

// --- POINT14 ---

void Point14EncoderContext::create(const Point14Record& from, uint32_t newChannel) {
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

void Point14Encoder::init(const uint8_t* first) {
    Point14Record p;
    p.load(first);
    for (Point14EncoderContext& c : contexts_)
        c.used = false;
    current_ = firstChannel_ = p.channel;
    contexts_[current_].create(p, current_);
}

void Point14Encoder::encodeFullTime(ArithmeticEncoder& enc, Point14EncoderContext& c,
                                    uint64_t time) {
    c.timeNext = (c.timeNext + 1) & 3;
    c.timeIc.compress(enc, wrap32(int64_t(c.time[c.timeLast] >> 32)), wrap32(int64_t(time >> 32)),
                      8);
    enc.writeInt(uint32_t(time));
    c.timeLast = c.timeNext;
    c.time[c.timeLast] = time;
    c.delta[c.timeLast] = 0;
    c.counter[c.timeLast] = 0;
}

// A time within 32 bits of the current sequence's is coded as a difference, predicted as a
// multiple of the sequence's last regular step; one within reach of another sequence switches
// to it first; any other starts a new sequence with the full time. The time differs from the
// current sequence's (the caller codes unchanged times by a bit of the point's changed set).
void Point14Encoder::encodeTime(ArithmeticEncoder& enc, Point14EncoderContext& c, uint64_t time) {
    uint32_t& last = c.timeLast;
    const int64_t diff = int64_t(time - c.time[last]);
    const int32_t d = c.delta[last];
    if (!fitsInt32(diff)) {
        const uint32_t step = closeSequence(c.time, last, time);
        if (step == 0) {
            enc.symbol(d == 0 ? c.timeZero : c.timeMulti, d == 0 ? 1 : 511);
            encodeFullTime(enc, c, time);
            return;
        }
        enc.symbol(d == 0 ? c.timeZero : c.timeMulti, d == 0 ? step + 1 : step + 511);
        last = (last + step) & 3;
        encodeTime(enc, c, time); // within reach of that sequence now: no further switch
        return;
    }
    const int32_t x = int32_t(diff);
    c.time[last] = time;
    if (d == 0) {
        enc.symbol(c.timeZero, 0);
        c.timeIc.compress(enc, 0, x, 0);
        c.delta[last] = x;
        c.counter[last] = 0;
        return;
    }
    const int64_t multi = int64_t(std::floor(double(x) / double(d) + 0.5));
    // A run of steps unlike the regular one makes the latest of them the new regular step.
    bool irregular = false;
    if (multi == 1) {
        enc.symbol(c.timeMulti, 1);
        c.timeIc.compress(enc, d, x, 1);
        c.counter[last] = 0;
    } else if (multi > 1 && multi < 500) {
        enc.symbol(c.timeMulti, uint32_t(multi));
        c.timeIc.compress(enc, wrap32(multi * d), x, multi < 10 ? 2 : 3);
    } else if (multi >= 500) {
        enc.symbol(c.timeMulti, 500);
        c.timeIc.compress(enc, wrap32(500 * int64_t(d)), x, 4);
        irregular = true;
    } else if (multi < 0 && multi > -10) {
        enc.symbol(c.timeMulti, uint32_t(500 - multi));
        c.timeIc.compress(enc, wrap32(multi * d), x, 5);
    } else if (multi <= -10) {
        enc.symbol(c.timeMulti, 510);
        c.timeIc.compress(enc, wrap32(-10 * int64_t(d)), x, 6);
        irregular = true;
    } else {
        enc.symbol(c.timeMulti, 0);
        c.timeIc.compress(enc, 0, x, 7);
        irregular = true;
    }
    if (irregular && ++c.counter[last] > 3) {
        c.delta[last] = x;
        c.counter[last] = 0;
    }
}

uint32_t Point14Encoder::encode(ArithmeticEncoder* const* layers, const uint8_t* record) {
    Point14Record now;
    now.load(record);
    ArithmeticEncoder& xy = *layers[kLayerXY];
    Point14EncoderContext* const from = &contexts_[current_];
    const Point14Record& before = from->last;
    const uint32_t lpr = (before.returnNumber == 1 ? 1 : 0) +
                         (before.returnNumber >= before.returnCount ? 2 : 0) +
                         (before.gpsChanged ? 4 : 0);

    // The changed set is coded with the models of the context being left, but the changes are
    // those from the last point of the context being entered.
    const uint32_t previous = current_;
    const bool switched = now.channel != previous;
    uint32_t itemChannel = 0;
    if (switched) {
        if (!contexts_[now.channel].used)
            contexts_[now.channel].create(before, now.channel);
        current_ = now.channel;
        contexts_[current_].last.channel = now.channel;
        itemChannel = current_;
    }
    if (version_ >= 4)
        itemChannel = current_;
    Point14EncoderContext* const c = &contexts_[current_];
    Point14Record& last = c->last;

    const uint32_t g = now.gps != last.gps ? 1 : 0;
    const uint32_t returnStep = uint32_t(now.returnNumber - last.returnNumber) & 15;
    const uint32_t changed = (returnStep == 0    ? 0u
                              : returnStep == 1  ? 1u
                              : returnStep == 15 ? 2u
                                                 : 3u) |
                             (now.returnCount != last.returnCount ? 4u : 0u) |
                             (now.angle != last.angle ? 8u : 0u) | (g << 4) |
                             (now.source != last.source ? 32u : 0u) | (switched ? 64u : 0u);
    xy.symbol(from->changed[lpr], changed);
    if (switched)
        xy.symbol(from->channel, (now.channel - previous - 1) & 3);
    if (changed & 4)
        xy.symbol(c->returnCounts[last.returnCount], now.returnCount);
    if ((changed & 3) == 3) {
        if (changed & 16)
            xy.symbol(c->returnNumbers[last.returnNumber], now.returnNumber);
        else
            xy.symbol(c->returnNumberSame, returnStep - 2);
    }

    const uint32_t n = now.returnCount;
    const uint32_t r = now.returnNumber;
    const uint32_t m = kMap14[n][r];
    const uint32_t l = kLevel14[n][r];
    const uint32_t cpr = (r == 1 ? 2 : 0) + (r >= n ? 1 : 0);
    const uint32_t single = n == 1 ? 1 : 0;

    const uint32_t i = (m << 1) | g;
    const int32_t dx = int32_t(uint32_t(now.x) - uint32_t(last.x));
    c->dxIc.compress(xy, c->medianX[i].get(), dx, single);
    c->medianX[i].add(dx);
    const int32_t dy = int32_t(uint32_t(now.y) - uint32_t(last.y));
    c->dyIc.compress(xy, c->medianY[i].get(), dy, single + contextY(c->dxIc.k()));
    c->medianY[i].add(dy);

    if (ArithmeticEncoder* zl = layers[kLayerZ]) {
        const uint32_t kk = (c->dxIc.k() + c->dyIc.k()) / 2;
        c->zIc.compress(*zl, c->lastZ[l], now.z, single + contextZ(kk));
        c->lastZ[l] = now.z;
    }
    if (ArithmeticEncoder* cl = layers[kLayerClass])
        cl->symbol(c->classModels[((last.classification & 0x1F) << 1) + (cpr == 3 ? 1 : 0)],
                   now.classification);
    if (ArithmeticEncoder* fl = layers[kLayerFlags]) {
        const uint32_t f0 = (last.edge << 5) | (last.scanDirection << 4) | last.classFlags;
        fl->symbol(c->flagModels[f0], (now.edge << 5) | (now.scanDirection << 4) | now.classFlags);
    }
    if (ArithmeticEncoder* il = layers[kLayerIntensity]) {
        const uint32_t j = (cpr << 1) | g;
        c->intensityIc.compress(*il, c->lastIntensity[j], now.intensity, cpr);
        c->lastIntensity[j] = now.intensity;
    }
    if (ArithmeticEncoder* al = layers[kLayerAngle]; al && (changed & 8))
        c->angleIc.compress(*al, uint16_t(last.angle), uint16_t(now.angle), g);
    if (ArithmeticEncoder* ul = layers[kLayerUser])
        ul->symbol(c->userModels[last.user >> 2], now.user);
    if (ArithmeticEncoder* sl = layers[kLayerSource]; sl && (changed & 32))
        c->sourceIc.compress(*sl, last.source, now.source, 0);
    if (ArithmeticEncoder* gl = layers[kLayerGps]; gl && g)
        encodeTime(*gl, *c, now.gps);

    last = now;
    last.gpsChanged = g != 0;
    return itemChannel;
}

// --- RGB14 and RGBNIR14 ---

void RgbNir14Encoder::init(const uint8_t* first, uint32_t channel) {
    contexts_.init(channel);
    Context& c = context_[channel];
    for (int i = 0; i < (nir_ ? 4 : 3); ++i)
        c.last[i] = loadLittle<uint16_t>(first + 2 * i);
    for (Context& other : context_)
        other.modelsReady = false;
}

void RgbNir14Encoder::encode(ArithmeticEncoder* rgbLayer, ArithmeticEncoder* nirLayer,
                             uint32_t channel, const uint8_t* item) {
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
    uint16_t now[4] = {};
    for (int i = 0; i < (nir_ ? 4 : 3); ++i)
        now[i] = loadLittle<uint16_t>(item + 2 * i);
    if (rgbLayer)
        encodeRgb(*rgbLayer, c.used, c.bytes, base, now);
    if (nir_ && nirLayer) {
        const uint32_t lo = base[3] & 0xFF, hi = base[3] >> 8;
        const uint32_t nowLo = now[3] & 0xFF, nowHi = now[3] >> 8;
        const uint32_t u = (nowLo != lo ? 1u : 0u) | (nowHi != hi ? 2u : 0u);
        nirLayer->symbol(c.nirUsed, u);
        if (u & 1)
            nirLayer->symbol(c.nirBytes[0], (nowLo - lo) & 0xFF);
        if (u & 2)
            nirLayer->symbol(c.nirBytes[1], (nowHi - hi) & 0xFF);
        base[3] = now[3];
    }
}

// --- BYTE14 ---

Byte14Encoder::Byte14Encoder(uint16_t version, uint32_t size) : contexts_(version), size_(size) {
    for (Context& c : context_) {
        c.last.assign(size, 0);
        c.models.resize(size);
        c.modelReady.assign(size, 0);
    }
}

void Byte14Encoder::init(const uint8_t* first, uint32_t channel) {
    contexts_.init(channel);
    std::memcpy(context_[channel].last.data(), first, size_);
    for (Context& c : context_)
        c.modelReady.assign(size_, 0);
}

void Byte14Encoder::encode(ArithmeticEncoder* const* layers, uint32_t channel,
                           const uint8_t* item) {
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
        layers[i]->symbol(c.models[i], uint8_t(item[i] - base[i]));
        base[i] = item[i];
    }
}
