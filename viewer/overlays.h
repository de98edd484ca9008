// viewer/overlays.h - text drawn over the cloud in the graphics window: the key help and the
// status line.
#pragma once

#include <string>
#include <vector>

// The status line's parts: in a scene of several files their number ("3 files"), the point
// count, point size, the colours drawn (the file's, or the height ramp or intensity grey that
// stand in for colours the file lacks), the pan mode and, once a double-click has picked one,
// the pivot in file coordinates and, in a scene, "point from FILE" for the point it marked;
// while a URL's nodes are fetched, what is in flight and the transfer rate.
std::vector<std::string> statusParts();
// The parts on one line, two spaces apart.
std::string statusText();
// The parts in lines that fit width pixels of the status font: as many parts to a line as fit,
// and a part wider than the whole line cut short with "...".
std::vector<std::string> statusLines(int width);

// Draws the overlays that viewer.displaySettings turns on, in the toolkit's bitmap font, over
// whatever the frame holds so far, in a window of the given size. The matrices are left as
// they were.
void drawOverlays(int width, int height);
