// io/laz/rgb_step_encoder.cpp - one point's colour, byte by byte, against the decoder's
// predictions.
#include "io/laz/rgb_step_encoder.h"

namespace {

int32_t clamp255(int32_t v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : v;
}

uint32_t byteDiff(int32_t value, int32_t predicted) {
    return uint32_t(value - predicted) & 0xFF;
}

} // namespace

// A byte that equals the last one is not coded; one that differs is coded as its distance from
// what the decoder predicts by then. Green and blue are not coded at all for a grey colour, which
// the decoder copies from red.
void encodeRgb(ArithmeticEncoder& enc, SymbolModel& used, SymbolModel* m, uint16_t* rgb,
               const uint16_t* now) {
    int32_t lastLo[3], lastHi[3], lo[3], hi[3];
    for (int i = 0; i < 3; ++i) {
        lastLo[i] = rgb[i] & 0xFF;
        lastHi[i] = rgb[i] >> 8;
        lo[i] = now[i] & 0xFF;
        hi[i] = now[i] >> 8;
    }
    const bool grey = now[0] == now[1] && now[0] == now[2];
    uint32_t u = (lo[0] != lastLo[0] ? 1u : 0u) | (hi[0] != lastHi[0] ? 2u : 0u);
    if (!grey)
        u |= 64u | (lo[1] != lastLo[1] ? 4u : 0u) | (hi[1] != lastHi[1] ? 8u : 0u) |
             (lo[2] != lastLo[2] ? 16u : 0u) | (hi[2] != lastHi[2] ? 32u : 0u);
    enc.symbol(used, u);
    if (u & 1)
        enc.symbol(m[0], byteDiff(lo[0], lastLo[0]));
    if (u & 2)
        enc.symbol(m[1], byteDiff(hi[0], lastHi[0]));
    if (u & 64) {
        const int32_t dl = lo[0] - lastLo[0];
        if (u & 4)
            enc.symbol(m[2], byteDiff(lo[1], clamp255(dl + lastLo[1])));
        if (u & 16)
            enc.symbol(m[4], byteDiff(lo[2], clamp255((dl + lo[1] - lastLo[1]) / 2 + lastLo[2])));
        const int32_t dh = hi[0] - lastHi[0];
        if (u & 8)
            enc.symbol(m[3], byteDiff(hi[1], clamp255(dh + lastHi[1])));
        if (u & 32)
            enc.symbol(m[5], byteDiff(hi[2], clamp255((dh + hi[1] - lastHi[1]) / 2 + lastHi[2])));
    }
    rgb[0] = now[0];
    rgb[1] = now[1];
    rgb[2] = now[2];
}
