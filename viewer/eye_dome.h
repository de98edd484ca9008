// viewer/eye_dome.h - eye-dome lighting: shading by depth alone, so that shapes stand out in
// any colours, a cloud without colours too.
#pragma once

#include <cstdint>

// The shade's scale: shade = exp(-kEyeDomeScale * strength * mean), where mean is the mean over
// a pixel's 8 neighbours (a circle of about 1.4 pixels) of how much nearer the eye each
// neighbour's point is, in log2 of the eye depth; a farther neighbour and a neighbour without
// a point (the background, as far as can be) count 0.
constexpr float kEyeDomeScale = 300.0f;

// Darkens each pixel of rgba (RGBA bytes, width x height, bottom row first) that shows a point
// by its shade; pixels without a point keep their colour. logDepth holds log2 of each pixel's
// eye depth, +infinity where no point is. Rows are shaded in parts on the process's pool.
void shadeByDepth(uint32_t* rgba, const float* logDepth, int width, int height, float strength);

// The log depth of eye depths (clip w) in place: log2(w) where the pixel of rgba is not 0 (the
// CPU raster's pixels with a point), +infinity elsewhere.
void logDepthFromEye(float* depth, const uint32_t* rgba, int64_t pixels);

// The log depth of a depth buffer in place, written by points whose window depth was
// (log2(w) - logNear) / (logFar - logNear): see logDepthVertexShader. 1 (the cleared value)
// becomes +infinity.
void logDepthFromWindow(float* depth, int64_t pixels, float logNear, float logFar);
// The same for a depth buffer written through a perspective projection's own z (GL's
// standard depth), whose near and far planes come from the projection matrix.
void logDepthFromPerspective(float* depth, int64_t pixels, const double projection[16]);

// The near and far planes of a perspective projection matrix (column-major, as GL's).
void perspectivePlanes(const double projection[16], double* nearPlane, double* farPlane);

// A vertex shader for GL's points as the fixed pipeline places and colours them, but with the
// window depth logarithmic between the planes, whose log2 it takes as the uniforms logNear and
// logFar: a 24-bit depth buffer then keeps the depth to a millionth of its log whatever the
// distance, where the standard depth loses nearly all of it far from a near plane close by.
extern const char* const logDepthVertexShader;
