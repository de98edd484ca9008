// viewer/png_writer.cpp - PNG files through libpng's simplified interface.
#include "viewer/png_writer.h"

#include <cerrno>
#include <cstring>

#include <png.h>

bool writePng(FILE* file, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // A negative stride tells libpng that the first row in memory is the picture's bottom row.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_write_to_stdio(&image, file, 0, rgbBottomUp, stride, nullptr)) {
        *error = image.message;
        png_image_free(&image);
        return false;
    }
    if (std::fflush(file) != 0 || std::ferror(file)) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool writePng(const char* path, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    bool written = writePng(file, width, height, rgbBottomUp, error);
    if (std::fclose(file) != 0 && written) {
        *error = std::strerror(errno);
        written = false;
    }
    if (!written)
        std::remove(path);
    return written;
}
