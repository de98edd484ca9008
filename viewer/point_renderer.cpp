// viewer/point_renderer.cpp - the GL and software paths of a frame's points.
#define GL_GLEXT_PROTOTYPES
#include "viewer/point_renderer.h"

#include "viewer/eye_dome.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

bool namesSoftwareRasteriser(const char* renderer) {
    if (!renderer)
        return false;
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (std::strstr(renderer, name))
            return true;
    return false;
}

// The raster reproduces plain size-1 points only.
bool rasterCanDraw(float pointSize) {
    return pointSize == 1.0f && !glIsEnabled(GL_BLEND) && !glIsEnabled(GL_DEPTH_TEST) &&
           !glIsEnabled(GL_POINT_SMOOTH) && !glIsEnabled(GL_ALPHA_TEST) &&
           !glIsEnabled(GL_LIGHTING) && !glIsEnabled(GL_FOG) && !glIsEnabled(GL_SCISSOR_TEST);
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Points spread over the view volume with varied colours, as records lie in a frame.
std::vector<PointRecord> madeUpPoints(int count) {
    std::vector<PointRecord> points(static_cast<size_t>(count));
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24);
    };
    for (PointRecord& p : points)
        p = {next() * 1.9f - 0.95f, next() * 1.9f - 0.95f, next() - 0.5f, next(), next(), next()};
    return points;
}

// Identity matrices over the context's viewport: for a raster that draws no real frame.
View contextView() {
    View view;
    for (int i = 0; i < 16; i += 5)
        view.modelview[i] = view.projection[i] = 1.0;
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    return view;
}

} // namespace

PointSource recordSource(const PointRecord* records, int64_t count) {
    PointSource source;
    source.positions = records ? &records->x : nullptr;
    source.positionStride = sizeof(PointRecord);
    source.colours = records ? &records->r : nullptr;
    source.colourType = PointSource::FloatRgb;
    source.colourStride = sizeof(PointRecord);
    source.count = count;
    return source;
}

void PointRenderer::chooseForCurrentContext() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    largePath_ = namesSoftwareRasteriser(renderer) ? PointPath::Software : PointPath::Gl;
    nodeBuffers_ = largePath_ == PointPath::Gl;
}

void PointRenderer::warmUp(float pointSize, int64_t cloudPoints) {
    const PointSource empty;
    begin(empty, pointSize, cloudPoints, contextView());
    if (framePath_ == PointPath::Software)
        finish();
}

double PointRenderer::measure() const {
    if (largePath_ != PointPath::Software)
        return 0.0;
    // One thread's time per point, shared by the raster's threads in a frame.
    constexpr int kPoints = 65536;
    const std::vector<PointRecord> points = madeUpPoints(kPoints);
    View view = contextView();
    view.viewport[0] = view.viewport[1] = 0;
    view.viewport[2] = std::max(1, view.viewport[2]);
    view.viewport[3] = std::max(1, view.viewport[3]);
    PointRaster timed(1);
    timed.begin(view);
    const PointSource source = recordSource(points.data(), kPoints);
    const double started = threadSeconds();
    timed.addRange(source, 0, kPoints);
    const double seconds = threadSeconds() - started;
    return seconds / double(kPoints) / double(raster_.threads());
}

void PointRenderer::begin(const PointSource& source, float pointSize, int64_t cloudPoints,
                          const View& view, float eyeDome) {
    source_ = source;
    eyeDome_ = eyeDome;
    // Buffers no frame has drawn for a while belong to nodes gone or out of view.
    ++frames_;
    for (auto held = buffers_.begin(); held != buffers_.end();) {
        if (held->second.lastFrame + kBufferFrames < frames_) {
            glDeleteBuffers(1, &held->second.buffer);
            held = buffers_.erase(held);
        } else {
            ++held;
        }
    }
    framePath_ = largePath_ == PointPath::Software && cloudPoints >= kSoftwareFrameMinimum &&
                         rasterCanDraw(pointSize)
                     ? PointPath::Software
                     : PointPath::Gl;
    if (framePath_ == PointPath::Gl) {
        glPointSize(pointSize);
        // Without the buffers the frame is drawn as without eye-dome lighting.
        if (eyeDome_ > 0.0f && !glEyeDome_.beginFrame(view))
            eyeDome_ = 0.0f;
        return;
    }
    origin_[0] = view.viewport[0];
    origin_[1] = view.viewport[1];
    raster_.begin(view, eyeDome_ > 0.0f);
}

// The arrays are set for each pass and unset after, so that a frame given up halfway leaves
// no state behind.
void PointRenderer::setArrays(const PointSource* source) const {
    if (!source) {
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, static_cast<GLsizei>(source->positionStride), source->positions);
    glColorPointer(3, source->colourType == PointSource::ByteRgb ? GL_UNSIGNED_BYTE : GL_FLOAT,
                   static_cast<GLsizei>(source->colourStride), source->colours);
}

void PointRenderer::addRange(int64_t first, int64_t count) {
    if (count <= 0)
        return;
    if (framePath_ == PointPath::Software) {
        raster_.addRange(source_, first, count);
        return;
    }
    setArrays(&source_);
    glDrawArrays(GL_POINTS, static_cast<GLint>(first), static_cast<GLsizei>(count));
    if (eyeDome_ > 0.0f) {
        glEyeDome_.beginPass();
        glDrawArrays(GL_POINTS, static_cast<GLint>(first), static_cast<GLsizei>(count));
        glEyeDome_.endPass();
    }
    setArrays(nullptr);
}

void PointRenderer::addIndices(const uint32_t* indices, int64_t count) {
    if (count <= 0)
        return;
    if (framePath_ == PointPath::Software) {
        raster_.addIndices(source_, indices, count);
        return;
    }
    setArrays(&source_);
    glDrawElements(GL_POINTS, static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
    if (eyeDome_ > 0.0f) {
        glEyeDome_.beginPass();
        glDrawElements(GL_POINTS, static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
        glEyeDome_.endPass();
    }
    setArrays(nullptr);
}

// A run of records from the client arrays, through its list of records when it has one.
void PointRenderer::drawSegmentArrays(const PointSegment& segment) {
    setArrays(&segment.source);
    if (segment.indices != nullptr)
        glDrawElements(GL_POINTS, static_cast<GLsizei>(segment.count), GL_UNSIGNED_INT,
                       segment.indices + segment.first);
    else
        glDrawArrays(GL_POINTS, static_cast<GLint>(segment.first),
                     static_cast<GLsizei>(segment.count));
}

void PointRenderer::addSegments(const PointSegment* segments, size_t count) {
    if (count == 0)
        return;
    if (framePath_ == PointPath::Software) {
        raster_.addSegments(segments, count);
        return;
    }
    for (size_t s = 0; s < count; ++s) {
        const PointSegment& segment = segments[s];
        if (segment.count <= 0)
            continue;
        if (nodeBuffers_ && segment.id != 0 && segment.nodeCount > 0) {
            drawFromBuffer(segment);
            continue;
        }
        drawSegmentArrays(segment);
    }
    // The depths for eye-dome lighting from the client arrays, whichever way the colours came.
    if (eyeDome_ > 0.0f) {
        glEyeDome_.beginPass();
        for (size_t s = 0; s < count; ++s) {
            if (segments[s].count > 0)
                drawSegmentArrays(segments[s]);
        }
        glEyeDome_.endPass();
    }
    setArrays(nullptr);
}

void PointRenderer::drawFromBuffer(const PointSegment& segment) {
    const PointSource& source = segment.source;
    const bool bytes = source.colourType == PointSource::ByteRgb;
    const size_t colourSize = bytes ? 3 : 3 * sizeof(float);
    NodeBuffer& held = buffers_[{segment.id, source.colours}];
    if (held.buffer == 0) {
        // The whole node, positions then colours, each packed: a frame in passes may draw it in
        // parts, and the points hidden now may be shown later.
        const size_t count = static_cast<size_t>(segment.nodeCount);
        std::vector<unsigned char> packed(count * (3 * sizeof(float) + colourSize));
        const auto* positions = static_cast<const unsigned char*>(source.positions);
        const auto* colours = static_cast<const unsigned char*>(source.colours);
        held.colourOffset = count * 3 * sizeof(float);
        for (size_t i = 0; i < count; ++i) {
            const size_t at = static_cast<size_t>(segment.nodeFirst) + i;
            std::memcpy(&packed[i * 3 * sizeof(float)],
                        positions + at * static_cast<size_t>(source.positionStride),
                        3 * sizeof(float));
            std::memcpy(&packed[held.colourOffset + i * colourSize],
                        colours + at * static_cast<size_t>(source.colourStride), colourSize);
        }
        glGenBuffers(1, &held.buffer);
        glBindBuffer(GL_ARRAY_BUFFER, held.buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(packed.size()), packed.data(),
                     GL_STATIC_DRAW);
        ++uploads_;
    } else {
        glBindBuffer(GL_ARRAY_BUFFER, held.buffer);
    }
    held.lastFrame = frames_;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glColorPointer(3, bytes ? GL_UNSIGNED_BYTE : GL_FLOAT, 0,
                   reinterpret_cast<const void*>(held.colourOffset));
    const GLsizei count = static_cast<GLsizei>(segment.count);
    // The shown points through their list, whose record numbers count from the source's start.
    if (segment.indices != nullptr)
        glDrawElementsBaseVertex(GL_POINTS, count, GL_UNSIGNED_INT, segment.indices + segment.first,
                                 -static_cast<GLint>(segment.nodeFirst));
    else
        glDrawArrays(GL_POINTS, static_cast<GLint>(segment.first - segment.nodeFirst), count);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void PointRenderer::finish() {
    if (framePath_ == PointPath::Gl) {
        if (eyeDome_ > 0.0f)
            glEyeDome_.finish(eyeDome_);
        glFinish();
        return;
    }
    if (eyeDome_ > 0.0f) {
        const int64_t pixels = int64_t(raster_.width()) * raster_.height();
        logDepthFromEye(raster_.depths(), raster_.pixels(), pixels);
        shadeByDepth(raster_.pixels(), raster_.depths(), raster_.width(), raster_.height(),
                     eyeDome_);
    }
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    // Empty pixels have alpha 0 and leave the buffer as it is.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glDisable(GL_TEXTURE_2D);
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glWindowPos2i(origin_[0], origin_[1]);
    glDrawPixels(raster_.width(), raster_.height(), GL_RGBA, GL_UNSIGNED_BYTE, raster_.pixels());
    glPopClientAttrib();
    glPopAttrib();
    glFinish();
}
