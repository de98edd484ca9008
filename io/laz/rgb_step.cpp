// io/laz/rgb_step.cpp - one point's colour, byte by byte.
#include "io/laz/rgb_step.h"

namespace {

uint32_t clamp255(int32_t v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : uint32_t(v);
}

} // namespace

// Green and blue are predicted from red's change (blue from the mean of red's and green's);
// the halving truncates toward zero, as the encoder's does.
void decodeRgb(ArithmeticDecoder& stream, SymbolModel& used, SymbolModel* m, uint16_t* rgb) {
    ArithmeticDecoder dec = stream;
    const uint32_t u = dec.symbol(used);
    const uint32_t lastLo[3] = {uint32_t(rgb[0] & 0xFF), uint32_t(rgb[1] & 0xFF),
                                uint32_t(rgb[2] & 0xFF)};
    const uint32_t lastHi[3] = {uint32_t(rgb[0] >> 8), uint32_t(rgb[1] >> 8),
                                uint32_t(rgb[2] >> 8)};
    const uint32_t rLo = (u & 1) ? ((lastLo[0] + dec.symbol(m[0])) & 0xFF) : lastLo[0];
    const uint32_t rHi = (u & 2) ? ((lastHi[0] + dec.symbol(m[1])) & 0xFF) : lastHi[0];
    if (!(u & 64)) {
        stream = dec;
        rgb[0] = rgb[1] = rgb[2] = uint16_t((rHi << 8) | rLo);
        return;
    }
    const int32_t dl = int32_t(rLo) - int32_t(lastLo[0]);
    const uint32_t gLo =
        (u & 4) ? ((dec.symbol(m[2]) + clamp255(dl + int32_t(lastLo[1]))) & 0xFF) : lastLo[1];
    const uint32_t bLo =
        (u & 16) ? ((dec.symbol(m[4]) +
                     clamp255((dl + int32_t(gLo) - int32_t(lastLo[1])) / 2 + int32_t(lastLo[2]))) &
                    0xFF)
                 : lastLo[2];
    const int32_t dh = int32_t(rHi) - int32_t(lastHi[0]);
    const uint32_t gHi =
        (u & 8) ? ((dec.symbol(m[3]) + clamp255(dh + int32_t(lastHi[1]))) & 0xFF) : lastHi[1];
    const uint32_t bHi =
        (u & 32) ? ((dec.symbol(m[5]) +
                     clamp255((dh + int32_t(gHi) - int32_t(lastHi[1])) / 2 + int32_t(lastHi[2]))) &
                    0xFF)
                 : lastHi[2];
    stream = dec;
    rgb[0] = uint16_t((rHi << 8) | rLo);
    rgb[1] = uint16_t((gHi << 8) | gLo);
    rgb[2] = uint16_t((bHi << 8) | bLo);
}
