// viewer/keys.h - the graphics window's keys.
#pragma once

// GLUT keyboard callback of the graphics window: point size, colours, background, speed,
// framing, the standard views, Reset View, screenshots, the overlays and quitting (the list
// is in the help overlay). Other keys do nothing.
void graphicsKey(unsigned char key, int x, int y);
