// viewer/gl_eye_dome.h - eye-dome lighting on GL's path: the points drawn a second time, into a
// depth buffer of their own, which is read back to shade the picture.
#pragma once

#include "viewer/view.h"

#include <cstdint>
#include <vector>

// Owns, in the context it was made in (made again when the context changes), a framebuffer
// object of depth alone the size of the view, and the log-depth shader program. The window
// itself has no depth buffer, and its points are drawn as they always were: with a depth buffer
// Mesa rounds some colours otherwise, and a picture without eye-dome lighting, or the pixels it
// leaves alone, must stay what they were. Where framebuffer objects are missing a frame is
// drawn as without eye-dome lighting; where shaders are, with GL's standard depth, which holds
// less of the depth far from the eye.
class GlEyeDome {
public:
    // Before a frame's first points, in the frame's context: the buffer at the view's size,
    // cleared. False when the frame cannot be shaded.
    bool beginFrame(const View& view);
    // Around a second draw of each pass of points, once beginFrame said yes: the points go to
    // the buffer, each writing its depth, the later point on a pixel winning as in the window;
    // endPass leaves GL's state as it was.
    void beginPass();
    void endPass();
    // After the last pass: the pixels of the current buffer that show a point darkened by their
    // shade (see shadeByDepth); the others are not touched.
    void finish(float strength);

private:
    bool prepare();
    bool sizeBuffers(int width, int height);

    View view_;
    void* context_ = nullptr;
    bool framebuffers_ = false; // the context has framebuffer objects
    unsigned program_ = 0;
    int logNearUniform_ = -1, logFarUniform_ = -1;
    unsigned framebuffer_ = 0, depthBuffer_ = 0;
    int bufferWidth_ = 0, bufferHeight_ = 0;
    int previous_ = 0; // the framebuffer bound before a pass
    float logNear_ = 0.0f, logFar_ = 0.0f;
    std::vector<uint32_t> colours_, drawn_;
    std::vector<float> depths_;
};
