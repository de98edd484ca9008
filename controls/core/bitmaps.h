// controls/core/bitmaps.h - the 21 built-in images and their per-window RGB copies.
#pragma once

constexpr int BITMAP_CHECKBOX_OFF = 0;
constexpr int BITMAP_CHECKBOX_ON = 1;
constexpr int BITMAP_RADIO_OFF = 2;
constexpr int BITMAP_RADIO_ON = 3;
constexpr int BITMAP_ARROW_UP = 4;
constexpr int BITMAP_ARROW_DOWN = 5;
constexpr int BITMAP_ARROW_LEFT = 6;
constexpr int BITMAP_ARROW_RIGHT = 7;
constexpr int BITMAP_SMALL_UP = 8;
constexpr int BITMAP_SMALL_UP_PRESSED = 9;
constexpr int BITMAP_SMALL_DOWN = 10;
constexpr int BITMAP_SMALL_DOWN_PRESSED = 11;
constexpr int BITMAP_CHECKBOX_OFF_DISABLED = 12;
constexpr int BITMAP_CHECKBOX_ON_DISABLED = 13;
constexpr int BITMAP_RADIO_OFF_DISABLED = 14;
constexpr int BITMAP_RADIO_ON_DISABLED = 15;
constexpr int BITMAP_SMALL_UP_DISABLED = 16;
constexpr int BITMAP_SMALL_DOWN_DISABLED = 17;
constexpr int BITMAP_DOWN_BUTTON = 18;
constexpr int BITMAP_DOWN_BUTTON_PRESSED = 19;
constexpr int BITMAP_DOWN_BUTTON_DISABLED = 20;
constexpr int BITMAP_COUNT = 21;

// A built-in image as constant data: width, height, then width x height pixels of three
// values 0-255 (red, green, blue), rows from the bottom of the picture up.
using StandardBitmap = const int*;

// The built-in images indexed by bitmap id.
extern const StandardBitmap STANDARD_BITMAPS[BITMAP_COUNT];

// An image converted to RGB bytes in the same row order, ready for glDrawPixels.
struct Bitmap {
    unsigned char* bytes = nullptr;
    int width = 0;
    int height = 0;

    void loadStandard(StandardBitmap image);
    void release();
};
