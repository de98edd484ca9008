// viewer/screenshot.h - saving what the graphics window shows as a PNG file.
#pragma once

#include <string>
#include <vector>

// The current window's back buffer as RGB bytes, rows from the bottom up.
std::vector<unsigned char> readBackBuffer(int width, int height);

// Draws a frame of the graphics window (current), saves it at path and shows it. On failure
// returns false with a one-line reason in error.
bool saveScreenshot(const char* path, std::string* error);

// The same at pointillist-1.png, pointillist-2.png, ... in the current directory, the first
// name not taken. Returns the path of the file written, or an empty string and the reason.
std::string saveNumberedScreenshot(std::string* error);
