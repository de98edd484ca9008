// controls/core/drawing.h - the drawing primitives the controls share.
#pragma once

class Control;
struct Bitmap;

// Width in pixels of text in a GLUT bitmap font, and drawing it at the raster position.
int bitmapTextWidth(void* font, const char* text);
void drawBitmapText(void* font, const char* text);

// The rectangle with corners (left, top) and (right, bottom) in the current coordinates: its
// outline as a line loop, or its inside as a quad, or its outline dotted in black (one pixel
// on, one off), the mark of the keyboard focus. The corners go top-left, top-right,
// bottom-right, bottom-left.
void outlineRectangle(int left, int top, int right, int bottom);
void fillRectangle(int left, int top, int right, int bottom);
void dottedRectangle(int left, int top, int right, int bottom);

// A box with a light edge above and left and a dark one below and right, w x h pixels from
// (left, top), with the background colour (red, green, blue) just inside the edge.
void drawRaisedBox(const unsigned char* background, int left, int top, int w, int h);
// The image with its top-left pixel at (left, top); nothing for an image that failed to load.
void drawBitmap(const Bitmap& image, int left, int top);

// The dotted frame around the label of a check box or radio button while it has the focus;
// without the focus it is drawn in the background colour, which wipes an earlier frame.
// Drawn in the control's own coordinates; the label starts textOffset pixels in.
void drawFocusFrame(const Control& control, int textOffset);

// The width of a check box or radio button in its window: text offset, label, 6 pixels.
int labelledBoxWidth(const Control& control, int textOffset);
