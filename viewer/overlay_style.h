// viewer/overlay_style.h - what every box drawn over the points shares: its colours and the
// window's pixels as the space it is drawn in.
#pragma once

// Text and box colours that stand out on the background.
void textColour();
void boxColour();

// While it lives, drawing is in window pixels with the origin at the top left; the matrices
// before it come back when it ends.
class WindowPixels {
public:
    WindowPixels(int width, int height);
    ~WindowPixels();
    WindowPixels(const WindowPixels&) = delete;
    WindowPixels& operator=(const WindowPixels&) = delete;
};
