// viewer/legend.h - the legend `l` lays over the picture: what the colours of the mode mean.
#pragma once

#include <string>
#include <vector>

// What the legend shows for viewer's colour mode now, under a title: rows of a colour and its
// meaning (and a count), or a bar of the mode's ramp between two values in file units.
// Classification: each class drawn, with the points of it drawn; return: the four kinds;
// height: the z that go blue and red, with the shift added back; intensity: the intensities
// that go black and white. The file's colours and grey have a title alone.
struct Legend {
    struct Row {
        unsigned char rgb[3];
        std::string text;
        std::string count; // empty for none
    };
    std::string title;
    std::vector<Row> rows;
    bool bar = false;
    std::string low, high; // the bar's ends
};
Legend currentLegend();

// Where the legend's box goes: its top-right corner kLegendMargin pixels in from the window's.
// A row's colour is a kSwatchWidth x kSwatchHeight swatch at kLegendPadding from the box's left
// edge; the bar is kBarWidth x kBarHeight, as far in.
constexpr int kLegendMargin = 6;
constexpr int kLegendPadding = 6;
constexpr int kLegendLine = 15;
constexpr int kSwatchWidth = 12;
constexpr int kSwatchHeight = 10;
constexpr int kBarWidth = 16;
constexpr int kBarHeight = 120;

// Draws currentLegend() at the top right of a window of the given size, in the toolkit's
// bitmap font, over what the frame holds. The matrices are left as they were.
void drawLegend(int width, int height);
