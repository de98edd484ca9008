// viewer/screenshot.cpp - a frame drawn, read back and written as a PNG.
#include "viewer/screenshot.h"

#include "viewer/frame.h"
#include "viewer/png_writer.h"

#include <GL/freeglut.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Draws a frame and reads it before the swap: after a swap the back buffer's contents are
// undefined on most GL implementations.
std::vector<unsigned char> drawAndRead(int* width, int* height) {
    *width = glutGet(GLUT_WINDOW_WIDTH);
    *height = glutGet(GLUT_WINDOW_HEIGHT);
    drawCompleteFrame();
    std::vector<unsigned char> rgb = readBackBuffer(*width, *height);
    glutSwapBuffers();
    return rgb;
}

} // namespace

std::vector<unsigned char> readBackBuffer(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

bool saveScreenshot(const char* path, std::string* error) {
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = drawAndRead(&width, &height);
    return writePng(path, width, height, rgb.data(), error);
}

std::string saveNumberedScreenshot(std::string* error) {
    // O_EXCL takes the first free name even when another viewer saves in the same folder.
    std::string name;
    int fd = -1;
    for (int n = 1; fd < 0; ++n) {
        name = "pointillist-" + std::to_string(n) + ".png";
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 && errno != EEXIST) {
            *error = "cannot write " + name + ": " + std::strerror(errno);
            return "";
        }
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        *error = "cannot write " + name + ": " + std::strerror(errno);
        close(fd);
        unlink(name.c_str());
        return "";
    }
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = drawAndRead(&width, &height);
    std::string reason;
    bool written = writePng(file, width, height, rgb.data(), &reason);
    if (std::fclose(file) != 0 && written) {
        reason = std::strerror(errno);
        written = false;
    }
    if (!written) {
        *error = "cannot write " + name + ": " + reason;
        unlink(name.c_str());
        return "";
    }
    char directory[4096];
    if (getcwd(directory, sizeof directory) != nullptr)
        return std::string(directory) + "/" + name;
    return name;
}
