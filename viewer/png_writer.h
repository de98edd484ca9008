// viewer/png_writer.h - saving an RGB image as a PNG file.
#pragma once

#include <cstdio>
#include <string>

// Writes width x height RGB pixels, 8 bits a sample, rows from the bottom of the picture up
// (as glReadPixels gives them), to an open file. On failure returns false and sets error to
// one line saying why.
bool writePng(FILE* file, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error);
// The same to a new or replaced file at path; a file that could not be written completely is
// removed.
bool writePng(const char* path, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error);
