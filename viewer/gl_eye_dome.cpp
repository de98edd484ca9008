// viewer/gl_eye_dome.cpp - the depth buffer of the points, the log-depth shader, the read-back
// and the shaded pixels laid over the picture.
#define GL_GLEXT_PROTOTYPES
#include "viewer/gl_eye_dome.h"

#include "viewer/eye_dome.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// GL 3.0's framebuffer objects, or the extension that brought them to older contexts.
bool hasFramebuffers() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version != nullptr && std::atoi(version) >= 3)
        return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions != nullptr && std::strstr(extensions, "GL_ARB_framebuffer_object");
}

// The program of logDepthVertexShader, or 0 when the context has no shaders or refuses it.
unsigned makeLogDepthProgram() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr || std::atoi(version) < 2)
        return 0;
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &logDepthVertexShader, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glLinkProgram(program);
    // The program keeps what it needs of the shader.
    glDeleteShader(shader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void resetPixelStore() {
    for (GLenum name : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS,
                        GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS})
        glPixelStorei(name, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

} // namespace

bool GlEyeDome::prepare() {
    void* context = glXGetCurrentContext();
    if (context != context_) {
        // Framebuffers and programs belong to the context that made them; an old context's
        // went with it.
        context_ = context;
        framebuffers_ = context != nullptr && hasFramebuffers();
        program_ = framebuffers_ ? makeLogDepthProgram() : 0;
        if (program_ != 0) {
            logNearUniform_ = glGetUniformLocation(program_, "logNear");
            logFarUniform_ = glGetUniformLocation(program_, "logFar");
        }
        framebuffer_ = depthBuffer_ = 0;
        bufferWidth_ = bufferHeight_ = 0;
    }
    return framebuffers_;
}

bool GlEyeDome::sizeBuffers(int width, int height) {
    if (framebuffer_ != 0 && width == bufferWidth_ && height == bufferHeight_)
        return true;
    if (framebuffer_ == 0) {
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(1, &depthBuffer_);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
    // Depth alone: no colour buffer to draw to or read from.
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_));
    bufferWidth_ = complete ? width : 0;
    bufferHeight_ = complete ? height : 0;
    return complete;
}

bool GlEyeDome::beginFrame(const View& view) {
    view_ = view;
    const int width = view.viewport[0] + view.viewport[2];
    const int height = view.viewport[1] + view.viewport[3];
    if (view.viewport[2] <= 0 || view.viewport[3] <= 0 || !prepare())
        return false;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_);
    if (!sizeBuffers(width, height))
        return false;
    double nearPlane = 0.0, farPlane = 0.0;
    perspectivePlanes(view.projection, &nearPlane, &farPlane);
    logNear_ = static_cast<float>(std::log2(nearPlane));
    logFar_ = static_cast<float>(std::log2(farPlane));
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_));
    return true;
}

void GlEyeDome::beginPass() {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_TRUE);
    if (program_ != 0) {
        glUseProgram(program_);
        glUniform1f(logNearUniform_, logNear_);
        glUniform1f(logFarUniform_, logFar_);
    }
}

void GlEyeDome::endPass() {
    if (program_ != 0)
        glUseProgram(0);
    glPopAttrib();
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_));
}

void GlEyeDome::finish(float strength) {
    const int left = view_.viewport[0], bottom = view_.viewport[1];
    const int width = view_.viewport[2], height = view_.viewport[3];
    const size_t pixels = size_t(width) * size_t(height);
    colours_.resize(pixels);
    depths_.resize(pixels);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    resetPixelStore();
    GLint previousRead = 0, drawn = 0, drawBuffer = GL_BACK;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadPixels(left, bottom, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depths_.data());
    // The colours from where the points were drawn: the window's back buffer, as a rule.
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(drawn));
    glReadBuffer(static_cast<GLenum>(drawBuffer));
    glReadPixels(left, bottom, width, height, GL_RGBA, GL_UNSIGNED_BYTE, colours_.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousRead));
    if (program_ != 0)
        logDepthFromWindow(depths_.data(), int64_t(pixels), logNear_, logFar_);
    else
        logDepthFromPerspective(depths_.data(), int64_t(pixels), view_.projection);
    drawn_ = colours_;
    shadeByDepth(drawn_.data(), depths_.data(), width, height, strength);
    // Only the pixels shading changed go back, past an alpha test.
    for (size_t i = 0; i < pixels; ++i)
        drawn_[i] = drawn_[i] != colours_[i] ? drawn_[i] | 0xff000000u : 0u;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glPixelZoom(1.0f, 1.0f);
    glWindowPos2i(left, bottom);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, drawn_.data());
    glPopClientAttrib();
    glPopAttrib();
}
