// io/text_columns_reader.h - column text (.xyz .txt .csv .asc) and .pts.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

// The first lines that are not comments hold three or more numbers each (an optional header
// line of names before them).
bool resemblesColumnText(const unsigned char* head, size_t size);

// Space, tab, comma or semicolon separated; an optional header line of names (x y z, r g b or
// red green blue, intensity or i, any order and case); without one, 3 columns are x y z, 4 add
// intensity, 6 add r g b, 7 are x y z intensity r g b, or x y z r g b alpha when the last
// column holds the same on every line. Colours 0..255 or 0..1, decided once per
// file. Lines starting with '#' or "//" are comments.
ReadResult readColumnText(const ReadRequest& request);
// A first line holding the point count, then x y z intensity [r g b].
ReadResult readPts(const ReadRequest& request);
