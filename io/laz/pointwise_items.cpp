// io/laz/pointwise_items.cpp - decoding the version-2 items. Records are little-endian and so is
// every machine this builds for, so fields go in and out with memcpy.
#include "io/laz/pointwise_items.h"

#include "io/laz/return_tables.h"
#include "io/laz/rgb_step.h"

#include "io/byte_order.h"

#include <cstring>

namespace {

// A sequence switch always lands on a sequence that then codes the time; more than this many
// switches in a row mean the stream is not a valid one.
constexpr int kMaxSequenceSwitches = 8;

} // namespace

// --- POINT10 ---

void Point10Item::init(const uint8_t* first) {
    x_ = loadLittle<int32_t>(first);
    y_ = loadLittle<int32_t>(first + 4);
    z_ = loadLittle<int32_t>(first + 8);
    intensity_ = loadLittle<uint16_t>(first + 12);
    bitByte_ = first[14];
    classification_ = first[15];
    angle_ = first[16];
    user_ = first[17];
    source_ = loadLittle<uint16_t>(first + 18);

    changed_.init(64);
    bitByteModels_.reset();
    classModels_.reset();
    angleModels_.reset();
    userModels_.reset();
    intensityIc_.reset();
    sourceIc_.reset();
    dxIc_.reset();
    dyIc_.reset();
    zIc_.reset();
    std::memset(lastIntensity_, 0, sizeof lastIntensity_);
    for (int i = 0; i < 16; ++i) {
        medianX_[i].reset();
        medianY_[i].reset();
    }
    std::memset(lastZ_, 0, sizeof lastZ_);
}

void Point10Item::decode(ArithmeticDecoder& stream, uint8_t* out) {
    ArithmeticDecoder dec = stream;
    const uint32_t changed = dec.symbol(changed_);
    if (changed & 32)
        bitByte_ = uint8_t(dec.symbol(bitByteModels_[bitByte_]));
    const uint32_t r = bitByte_ & 7;
    const uint32_t n = (bitByte_ >> 3) & 7;
    const uint32_t m = kMap10[n][r];
    const uint32_t l = kLevel10[n][r];

    if (changed & 16) {
        intensity_ = uint16_t(intensityIc_.decompress(dec, lastIntensity_[m], m < 3 ? m : 3));
        lastIntensity_[m] = intensity_;
    } else {
        intensity_ = lastIntensity_[m];
    }
    if (changed & 8)
        classification_ = uint8_t(dec.symbol(classModels_[classification_]));
    if (changed & 4)
        angle_ = uint8_t(angle_ + dec.symbol(angleModels_[(bitByte_ >> 6) & 1]));
    if (changed & 2)
        user_ = uint8_t(dec.symbol(userModels_[user_]));
    if (changed & 1)
        source_ = uint16_t(sourceIc_.decompress(dec, source_, 0));

    const uint32_t single = n == 1 ? 1 : 0;
    const int32_t dx = dxIc_.decompress(dec, medianX_[m].get(), single);
    x_ = int32_t(uint32_t(x_) + uint32_t(dx));
    medianX_[m].add(dx);
    const int32_t dy = dyIc_.decompress(dec, medianY_[m].get(), single + contextY(dxIc_.k()));
    y_ = int32_t(uint32_t(y_) + uint32_t(dy));
    medianY_[m].add(dy);
    const uint32_t kk = (dxIc_.k() + dyIc_.k()) / 2;
    z_ = zIc_.decompress(dec, lastZ_[l], single + contextZ(kk));
    lastZ_[l] = z_;
    stream = dec;

    storeLittle(out, x_);
    storeLittle(out + 4, y_);
    storeLittle(out + 8, z_);
    storeLittle(out + 12, intensity_);
    out[14] = bitByte_;
    out[15] = classification_;
    out[16] = angle_;
    out[17] = user_;
    storeLittle(out + 18, source_);
}

// --- GPSTIME11 ---

void GpsTime11Item::init(const uint8_t* first) {
    multi_.init(516);
    zero_.init(6);
    ic_.reset();
    time_[0] = loadLittle<uint64_t>(first);
    time_[1] = time_[2] = time_[3] = 0;
    std::memset(delta_, 0, sizeof delta_);
    std::memset(counter_, 0, sizeof counter_);
    last_ = next_ = 0;
}

void GpsTime11Item::readFull(ArithmeticDecoder& dec) {
    next_ = (next_ + 1) & 3;
    const int32_t high = ic_.decompress(dec, int32_t(uint32_t(time_[last_] >> 32)), 8);
    const uint32_t low = dec.readInt();
    time_[next_] = (uint64_t(uint32_t(high)) << 32) | low;
    last_ = next_;
    delta_[last_] = 0;
    counter_[last_] = 0;
}

bool GpsTime11Item::decode(ArithmeticDecoder& dec, uint8_t* out) {
    bool valid = false;
    for (int attempt = 0; attempt < kMaxSequenceSwitches && !valid; ++attempt) {
        valid = true;
        if (delta_[last_] == 0) {
            const uint32_t s = dec.symbol(zero_);
            if (s == 1) {
                delta_[last_] = ic_.decompress(dec, 0, 0);
                time_[last_] += uint64_t(int64_t(delta_[last_]));
                counter_[last_] = 0;
            } else if (s == 2) {
                readFull(dec);
            } else if (s >= 3) {
                last_ = (last_ + s - 2) & 3;
                valid = false;
            }
            continue;
        }
        const uint32_t s = dec.symbol(multi_);
        const int64_t d = delta_[last_];
        int32_t x = 0;
        if (s == 1) {
            time_[last_] += uint64_t(int64_t(ic_.decompress(dec, delta_[last_], 1)));
            counter_[last_] = 0;
        } else if (s == 0 || s == 500 || s == 510) {
            if (s == 0)
                x = ic_.decompress(dec, 0, 7);
            else if (s == 500)
                x = ic_.decompress(dec, int32_t(uint32_t(500 * d)), 4);
            else
                x = ic_.decompress(dec, int32_t(uint32_t(-10 * d)), 6);
            if (++counter_[last_] > 3) {
                delta_[last_] = x;
                counter_[last_] = 0;
            }
            time_[last_] += uint64_t(int64_t(x));
        } else if (s < 500) {
            x = ic_.decompress(dec, int32_t(uint32_t(int64_t(s) * d)), s < 10 ? 2 : 3);
            time_[last_] += uint64_t(int64_t(x));
        } else if (s < 510) {
            x = ic_.decompress(dec, int32_t(uint32_t((500 - int64_t(s)) * d)), 5);
            time_[last_] += uint64_t(int64_t(x));
        } else if (s == 512) {
            readFull(dec);
        } else if (s > 512) {
            last_ = (last_ + s - 512) & 3;
            valid = false;
        }
        // s == 511: unchanged
    }
    storeLittle(out, time_[last_]);
    return valid;
}

// --- RGB12 ---

void Rgb12Item::init(const uint8_t* first) {
    for (int i = 0; i < 3; ++i)
        last_[i] = loadLittle<uint16_t>(first + 2 * i);
    used_.init(128);
    for (SymbolModel& m : byteModels_)
        m.init(256);
}

void Rgb12Item::decode(ArithmeticDecoder& dec, uint8_t* out) {
    decodeRgb(dec, used_, byteModels_, last_);
    std::memcpy(out, last_, sizeof last_);
}

// --- BYTE ---

void ByteItem::init(const uint8_t* first) {
    std::memcpy(last_.data(), first, last_.size());
    for (SymbolModel& m : models_)
        m.init(256);
}

void ByteItem::decode(ArithmeticDecoder& dec, uint8_t* out) {
    for (size_t i = 0; i < last_.size(); ++i)
        last_[i] = uint8_t(last_[i] + dec.symbol(models_[i]));
    std::memcpy(out, last_.data(), last_.size());
}
