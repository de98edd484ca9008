// viewer/overlays.h - text drawn over the cloud in the graphics window: the key help and the
// status line.
#pragma once

#include <string>

// The status line's text: the point count, point size, colour mode and, once
// a double-click has picked one, the pivot in file coordinates.
std::string statusText();

// Draws the overlays that viewer.displaySettings turns on, in the toolkit's bitmap font, over
// whatever the frame holds so far, in a window of the given size. The matrices are left as
// they were.
void drawOverlays(int width, int height);
