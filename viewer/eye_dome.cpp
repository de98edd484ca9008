// viewer/eye_dome.cpp - the shade of each pixel from its neighbours' depths.
#include "viewer/eye_dome.h"

#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kFar = std::numeric_limits<float>::infinity();
// Rows a part of the shading takes at least: fewer are not worth a thread.
constexpr int64_t kRowsPerPart = 64;

// How much nearer the neighbours in one row are than depth: at x - 1, x and x + 1, or without
// the middle one for the pixel's own row. Outside the picture counts as background.
inline float nearerInRow(const float* row, int x, int width, float depth, bool middle) {
    if (row == nullptr)
        return 0.0f;
    // depth - +infinity is -infinity: the background adds nothing.
    float sum = middle ? std::max(0.0f, depth - row[x]) : 0.0f;
    if (x > 0)
        sum += std::max(0.0f, depth - row[x - 1]);
    if (x + 1 < width)
        sum += std::max(0.0f, depth - row[x + 1]);
    return sum;
}

uint32_t shaded(uint32_t rgba, float shade) {
    uint32_t result = rgba & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const float channel = static_cast<float>((rgba >> shift) & 0xffu);
        result |= static_cast<uint32_t>(channel * shade + 0.5f) << shift;
    }
    return result;
}

} // namespace

void shadeByDepth(uint32_t* rgba, const float* logDepth, int width, int height, float strength) {
    if (width <= 0 || height <= 0)
        return;
    // The neighbours on a circle of 1.4 pixels, taken at the nearest pixel, are the 8 around.
    const float factor = -kEyeDomeScale * strength / 8.0f;
    const int parts = static_cast<int>(std::min<int64_t>(usableCores(), kMostParts));
    runInParts(height, parts, kRowsPerPart, [&](int64_t firstRow, int64_t endRow, int) {
        for (int64_t y = firstRow; y < endRow; ++y) {
            const float* row = logDepth + y * width;
            const float* below = y > 0 ? row - width : nullptr;
            const float* above = y + 1 < height ? row + width : nullptr;
            uint32_t* out = rgba + y * width;
            for (int x = 0; x < width; ++x) {
                const float depth = row[x];
                if (depth == kFar)
                    continue;
                const float nearer = nearerInRow(below, x, width, depth, true) +
                                     nearerInRow(row, x, width, depth, false) +
                                     nearerInRow(above, x, width, depth, true);
                // A neighbour of exactly the same depth leaves the pixel exactly as it was.
                if (nearer > 0.0f)
                    out[x] = shaded(out[x], std::exp(factor * nearer));
            }
        }
    });
}

void logDepthFromEye(float* depth, const uint32_t* rgba, int64_t pixels) {
    for (int64_t i = 0; i < pixels; ++i)
        depth[i] = rgba[i] != 0 ? std::log2(depth[i]) : kFar;
}

void logDepthFromWindow(float* depth, int64_t pixels, float logNear, float logFar) {
    const float range = logFar - logNear;
    for (int64_t i = 0; i < pixels; ++i)
        depth[i] = depth[i] < 1.0f ? logNear + depth[i] * range : kFar;
}

void logDepthFromPerspective(float* depth, int64_t pixels, const double projection[16]) {
    // Normalised z = (m10 ze + m14) / -ze, so the eye depth -ze is m14 / (z + m10).
    const double m10 = projection[10], m14 = projection[14];
    for (int64_t i = 0; i < pixels; ++i) {
        if (depth[i] < 1.0f) {
            const double z = 2.0 * depth[i] - 1.0;
            depth[i] = static_cast<float>(std::log2(m14 / (z + m10)));
        } else {
            depth[i] = kFar;
        }
    }
}

void perspectivePlanes(const double projection[16], double* nearPlane, double* farPlane) {
    // m10 = (f + n) / (n - f) and m14 = 2 f n / (n - f).
    *nearPlane = projection[14] / (projection[10] - 1.0);
    *farPlane = projection[14] / (projection[10] + 1.0);
}

// Compatibility GLSL: the fixed pipeline's transform (ftransform keeps its positions exactly),
// its colour, and a depth linear in log2 of w.
const char* const logDepthVertexShader = R"(#version 110
uniform float logNear;
uniform float logFar;
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
    float w = gl_Position.w;
    float t = (log2(max(w, 1e-30)) - logNear) / (logFar - logNear);
    gl_Position.z = (2.0 * t - 1.0) * w;
}
)";
