// viewer/keys.h - what the graphics window's keys do.
#pragma once

// GLUT keyboard callback of the graphics window: the action of the key's binding in the key
// table (point size, colours, background, speed, framing, the standard views, Reset View,
// screenshots, the overlays, quitting), then a redisplay; other keys do nothing.
void graphicsKey(unsigned char key, int x, int y);
