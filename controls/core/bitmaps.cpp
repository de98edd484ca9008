// controls/core/bitmaps.cpp - the 21 built-in images and their conversion to RGB bytes.
#include "controls/core/bitmaps.h"

#include <new>

namespace {

struct Rgb {
    int red, green, blue;
};

// Not constexpr: a picture letter without a colour stops the compilation of its table.
Rgb unknownPictureLetter() {
    return {0, 0, 0};
}

// Letters of the pictures below. The images 8-11 and 16-20 use the slightly darker greys
// 127 and 191 (lower case); 18 and 20 carry one near-white pixel, 20 three of level 254.
constexpr Rgb colourOf(char letter) {
    switch (letter) {
        case 'K':
            return {0, 0, 0};
        case 'D':
            return {64, 64, 64};
        case 'G':
            return {128, 128, 128};
        case 'g':
            return {127, 127, 127};
        case 'L':
            return {192, 192, 192};
        case 'l':
            return {191, 191, 191};
        case 'W':
            return {255, 255, 255};
        case 'n':
            return {255, 255, 252};
        case 'v':
            return {254, 254, 254};
        default:
            return unknownPictureLetter();
    }
}

template <int W, int H> struct Picture { int values[2 + W * H * 3]; };

// Converts a picture written top row first into the stored form: width, height, then the
// pixels from the bottom row up, as glDrawPixels consumes them. A picture of the wrong
// length does not match the parameter type and does not compile.
template <int W, int H> constexpr Picture<W, H> picture(const char (&rows)[W * H + 1]) {
    Picture<W, H> image{};
    image.values[0] = W;
    image.values[1] = H;
    int* out = image.values + 2;
    for (int row = H - 1; row >= 0; --row) {
        for (int column = 0; column < W; ++column) {
            const Rgb colour = colourOf(rows[row * W + column]);
            *out++ = colour.red;
            *out++ = colour.green;
            *out++ = colour.blue;
        }
    }
    return image;
}

// One string per picture row, top row first. Ids 0-3 and 12-15 are the exact check box and
// radio button images; the others are drawn to their descriptions.
// clang-format off
constexpr auto PICTURE_CHECKBOX_OFF = picture<13, 13>(
    "GGGGGGGGGGGGW"
    "GKKKKKKKKKKLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWWWLW"
    "GLLLLLLLLLLLW"
    "WWWWWWWWWWWWW");

constexpr auto PICTURE_CHECKBOX_ON = picture<13, 13>(
    "GGGGGGGGGGGGW"
    "GKKKKKKKKKKLW"
    "GKWWWWWWWWWLW"
    "GKWWWWWWWKWLW"
    "GKWWWWWWKKWLW"
    "GKWKWWWKKKWLW"
    "GKWKKWKKKWWLW"
    "GKWKKKKKWWWLW"
    "GKWWKKKWWWWLW"
    "GKWWWKWWWWWLW"
    "GKWWWWWWWWWLW"
    "GLLLLLLLLLLLW"
    "WWWWWWWWWWWWW");

constexpr auto PICTURE_RADIO_OFF = picture<14, 14>(
    "LLLLLLLLLLLLLL"
    "LLLLLGGGGLLLLL"
    "LLLGGKKKKGGLLL"
    "LLGKKWWWWKKWLL"
    "LLGKWWWWWWLWLL"
    "LGKWWWWWWWWLWL"
    "LGKWWWWWWWWLWL"
    "LGKWWWWWWWWLWL"
    "LGKWWWWWWWWLWL"
    "LLGKWWWWWWLWLL"
    "LLGLLWWWWLLWLL"
    "LLLWWLLLLWWLLL"
    "LLLLLWWWWLLLLL"
    "LLLLLLLLLLLLLL");

constexpr auto PICTURE_RADIO_ON = picture<14, 14>(
    "LLLLLLLLLLLLLL"
    "LLLLLGGGGLLLLL"
    "LLLGGKKKKGGLLL"
    "LLGKKWWWWKKWLL"
    "LLGKWWWWWWLWLL"
    "LGKWWWKKWWWLWL"
    "LGKWWKKKKWWLWL"
    "LGKWWKKKKWWLWL"
    "LGKWWWKKWWWLWL"
    "LLGKWWWWWWLWLL"
    "LLGLLWWWWLLWLL"
    "LLLWWLLLLWWLLL"
    "LLLLLWWWWLLLLL"
    "LLLLLLLLLLLLLL");

constexpr auto PICTURE_ARROW_UP = picture<16, 16>(
    "LLLLLLLLLLLLLLLK"
    "LWWWWWWWWWWWWWGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLKLLLLLLGK"
    "LWLLLLKKKLLLLLGK"
    "LWLLLKKKKKLLLLGK"
    "LWLLKKKKKKKLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LGGGGGGGGGGGGGGK"
    "KKKKKKKKKKKKKKKK");

constexpr auto PICTURE_ARROW_DOWN = picture<16, 16>(
    "LLLLLLLLLLLLLLLK"
    "LWWWWWWWWWWWWWGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLKKKKKKKLLLGK"
    "LWLLLKKKKKLLLLGK"
    "LWLLLLKKKLLLLLGK"
    "LWLLLLLKLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LGGGGGGGGGGGGGGK"
    "KKKKKKKKKKKKKKKK");

constexpr auto PICTURE_ARROW_LEFT = picture<16, 16>(
    "LLLLLLLLLLLLLLLK"
    "LWWWWWWWWWWWWWGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLKLLLLGK"
    "LWLLLLLLKKLLLLGK"
    "LWLLLLLKKKLLLLGK"
    "LWLLLLKKKKLLLLGK"
    "LWLLLLLKKKLLLLGK"
    "LWLLLLLLKKLLLLGK"
    "LWLLLLLLLKLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LGGGGGGGGGGGGGGK"
    "KKKKKKKKKKKKKKKK");

constexpr auto PICTURE_ARROW_RIGHT = picture<16, 16>(
    "LLLLLLLLLLLLLLLK"
    "LWWWWWWWWWWWWWGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLKLLLLLLLGK"
    "LWLLLLKKLLLLLLGK"
    "LWLLLLKKKLLLLLGK"
    "LWLLLLKKKKLLLLGK"
    "LWLLLLKKKLLLLLGK"
    "LWLLLLKKLLLLLLGK"
    "LWLLLLKLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LWLLLLLLLLLLLLGK"
    "LGGGGGGGGGGGGGGK"
    "KKKKKKKKKKKKKKKK");

constexpr auto PICTURE_SMALL_UP = picture<12, 8>(
    "WWWWWWWWWWWK"
    "WllllllllllK"
    "WllllKgllllK"
    "WlllKKKglllK"
    "WllKKKKKgllK"
    "WllllllllllK"
    "WllllllllllK"
    "gggggggggggK");

constexpr auto PICTURE_SMALL_UP_PRESSED = picture<12, 8>(
    "KKKKKKKKKKKK"
    "KllllllllllW"
    "KllllllllllW"
    "KlllllKllllW"
    "KllllKKKlllW"
    "KlllKKKKKllW"
    "KllllllllllW"
    "KWWWWWWWWWWW");

constexpr auto PICTURE_SMALL_DOWN = picture<12, 8>(
    "WWWWWWWWWWWK"
    "WllllllllllK"
    "WllllllllllK"
    "WllKKKKKgllK"
    "WlllKKKglllK"
    "WllllKgllllK"
    "WllllllllllK"
    "gggggggggggK");

constexpr auto PICTURE_SMALL_DOWN_PRESSED = picture<12, 8>(
    "KKKKKKKKKKKK"
    "KllllllllllW"
    "KllllllllllW"
    "KllllllllllW"
    "KlllKKKKKllW"
    "KllllKKKlllW"
    "KlllllKllllW"
    "KWWWWWWWWWWW");

constexpr auto PICTURE_CHECKBOX_OFF_DISABLED = picture<13, 13>(
    "GGGGGGGGGGGGW"
    "GDDDDDDDDDDLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLLLLW"
    "GLLLLLLLLLLLW"
    "WWWWWWWWWWWWW");

constexpr auto PICTURE_CHECKBOX_ON_DISABLED = picture<13, 13>(
    "GGGGGGGGGGGGW"
    "GDDDDDDDDDDLW"
    "GDLLLLLLLLLLW"
    "GDLLLLLLLDLLW"
    "GDLLLLLLDDLLW"
    "GDLDLLLDDDLLW"
    "GDLDDLDDDLLLW"
    "GDLDDDDDLLLLW"
    "GDLLDDDLLLLLW"
    "GDLLLDLLLLLLW"
    "GDLLLLLLLLLLW"
    "GLLLLLLLLLLLW"
    "WWWWWWWWWWWWW");

constexpr auto PICTURE_RADIO_OFF_DISABLED = picture<14, 14>(
    "LLLLLLLLLLLLLL"
    "LLLLLGGGGLLLLL"
    "LLLGGDDDDGGLLL"
    "LLGDDLLLLDDWLL"
    "LLGDLLLLLLLWLL"
    "LGDLLLLLLLLLWL"
    "LGDLLLLLLLLLWL"
    "LGDLLLLLLLLLWL"
    "LGDLLLLLLLLLWL"
    "LLGDLLLLLLLWLL"
    "LLGLLLLLLLLWLL"
    "LLLWWLLLLWWLLL"
    "LLLLLWWWWLLLLL"
    "LLLLLLLLLLLLLL");

constexpr auto PICTURE_RADIO_ON_DISABLED = picture<14, 14>(
    "LLLLLLLLLLLLLL"
    "LLLLLGGGGLLLLL"
    "LLLGGDDDDGGLLL"
    "LLGDDLLLLDDWLL"
    "LLGDLLLLLLLWLL"
    "LGDLLLDDLLLLWL"
    "LGDLLDDDDLLLWL"
    "LGDLLDDDDLLLWL"
    "LGDLLLDDLLLLWL"
    "LLGDLLLLLLLWLL"
    "LLGLLLLLLLLWLL"
    "LLLWWLLLLWWLLL"
    "LLLLLWWWWLLLLL"
    "LLLLLLLLLLLLLL");

constexpr auto PICTURE_SMALL_UP_DISABLED = picture<12, 8>(
    "WWWWWWWWWWWK"
    "WllllllllllK"
    "WllllglllllK"
    "WlllgggllllK"
    "WllggggglllK"
    "WlllWWWWWllK"
    "WllllllllllK"
    "gggggggggggK");

constexpr auto PICTURE_SMALL_DOWN_DISABLED = picture<12, 8>(
    "WWWWWWWWWWWK"
    "WllllllllllK"
    "WllllllllllK"
    "WllggggglllK"
    "WlllgggWWllK"
    "WllllgWWlllK"
    "WlllllWllllK"
    "gggggggggggK");

constexpr auto PICTURE_DOWN_BUTTON = picture<11, 17>(
    "llllllllllK"
    "lWWWWnWWWgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlKKKKKlgK"
    "lWllKKKllgK"
    "lWlllKlllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lgggggggggK"
    "KKKKKKKKKKK");

constexpr auto PICTURE_DOWN_BUTTON_PRESSED = picture<11, 17>(
    "ggggggggggg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllggggglg"
    "gllllgggllg"
    "glllllglllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "glllllllllg"
    "ggggggggggg");

constexpr auto PICTURE_DOWN_BUTTON_DISABLED = picture<11, 17>(
    "llllllllllK"
    "lWWWWnWWWgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlggggglgK"
    "lWllgggWvgK"
    "lWlllgWvlgK"
    "lWllllvllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lWlllllllgK"
    "lgggggggggK"
    "KKKKKKKKKKK");
// clang-format on

} // namespace

// clang-format off
const StandardBitmap STANDARD_BITMAPS[BITMAP_COUNT] = {
    PICTURE_CHECKBOX_OFF.values,          PICTURE_CHECKBOX_ON.values,
    PICTURE_RADIO_OFF.values,             PICTURE_RADIO_ON.values,
    PICTURE_ARROW_UP.values,              PICTURE_ARROW_DOWN.values,
    PICTURE_ARROW_LEFT.values,            PICTURE_ARROW_RIGHT.values,
    PICTURE_SMALL_UP.values,              PICTURE_SMALL_UP_PRESSED.values,
    PICTURE_SMALL_DOWN.values,            PICTURE_SMALL_DOWN_PRESSED.values,
    PICTURE_CHECKBOX_OFF_DISABLED.values, PICTURE_CHECKBOX_ON_DISABLED.values,
    PICTURE_RADIO_OFF_DISABLED.values,    PICTURE_RADIO_ON_DISABLED.values,
    PICTURE_SMALL_UP_DISABLED.values,     PICTURE_SMALL_DOWN_DISABLED.values,
    PICTURE_DOWN_BUTTON.values,           PICTURE_DOWN_BUTTON_PRESSED.values,
    PICTURE_DOWN_BUTTON_DISABLED.values,
};
// clang-format on

void Bitmap::loadStandard(StandardBitmap image) {
    width = 0;
    height = 0;
    if (image == nullptr)
        return;
    // A bitmap loaded twice must not leak its first buffer.
    delete[] bytes;
    const int count = image[0] * image[1] * 3;
    bytes = new (std::nothrow) unsigned char[count];
    if (bytes == nullptr)
        return;
    width = image[0];
    height = image[1];
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(image[2 + i] & 0xff);
}

void Bitmap::release() {
    delete[] bytes;
    bytes = nullptr;
    width = 0;
    height = 0;
}
