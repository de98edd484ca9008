// viewer/point_renderer.h - draws a frame's points through the frame's view, by GL or by the
// CPU raster.
#pragma once

#include "viewer/gl_eye_dome.h"
#include "viewer/point_raster.h"

#include "io/point_records.h"

#include <cstdint>
#include <map>
#include <utility>

enum class PointPath { Gl, Software };

// The points of records laid out as PointRecord, with their own float colours.
PointSource recordSource(const PointRecord* records, int64_t count);

// One frame's points, drawn in one or more passes between begin and finish. The GL path draws
// each pass into the current buffer at once, from client arrays (no display list to compile);
// the software path projects the passes into its raster and finish lays it over what the
// buffer holds, with an alpha test, so that what was drawn before (the axes) shows between the
// points. Both give the same pixels. The path of a frame is picked at begin: software only when
// the context's renderer is a software rasteriser, the frame has enough points to gain from
// it and the GL state is one the raster reproduces (size-1 points, no blending, depth test or
// smoothing). Either path can shade the frame's points by their depths (eye-dome lighting):
// the raster keeps a depth per pixel for it, GL's path its depth buffer.
class PointRenderer {
public:
    // Picks the path for large frames from GL_RENDERER of the current context.
    void chooseForCurrentContext();
    // The seconds a point of a large frame costs the software path, timed on made-up points in
    // processor time, so that other work meanwhile (the read of the points) does not count;
    // 0 when large frames take the GL path. Draws nothing.
    double measure() const;
    // When a frame of cloudPoints points of pointSize would take the software path: its first
    // steps ahead of that frame, which then does not pay for them: the raster's buffers at the
    // viewport's size, and one glDrawPixels of the empty raster as finish draws it (a software
    // GL builds its code for that state on first use), which leaves the buffer as it was.
    // Nothing otherwise: Mesa's first points in a window may differ by a step of colour from
    // later ones, and a small cloud's first frame must stay what it was.
    void warmUp(float pointSize, int64_t cloudPoints);
    // Forces the path of large frames, whatever the renderer.
    void setLargeFramePath(PointPath path) { largePath_ = path; }
    // Whether the GL path draws runs that have an id from buffer objects, each uploaded once
    // (chosen with the path: on a GPU renderer); tests force it on the software renderer.
    void setNodeBuffers(bool on) { nodeBuffers_ = on; }
    bool nodeBuffers() const { return nodeBuffers_; }
    // Buffers uploaded so far, and those held now.
    int64_t bufferUploads() const { return uploads_; }
    size_t buffersHeld() const { return buffers_.size(); }
    PointPath largeFramePath() const { return largePath_; }

    // Starts a frame of points of size pointSize from source, a cloud of cloudPoints: every
    // frame of a cloud takes the same path, whether it draws all of it or a sample. view is the
    // one loaded into GL, which the GL path draws through and the software path projects by.
    // eyeDome: the strength of eye-dome lighting, which finish applies; 0 for none.
    void begin(const PointSource& source, float pointSize, int64_t cloudPoints, const View& view,
               float eyeDome = 0.0f);
    void addRange(int64_t first, int64_t count);
    void addIndices(const uint32_t* indices, int64_t count);
    // Runs of any sources, in their order: the nodes of a level-of-detail frame.
    void addSegments(const PointSegment* segments, size_t count);
    // Completes the frame's points in the current buffer; for the GL path, after glFinish, so
    // that the time of a frame is that of its drawing.
    void finish();
    // The path of the frame begun last.
    PointPath framePath() const { return framePath_; }

private:
    // The arrays of source, or none.
    void setArrays(const PointSource* source) const;
    // Draws a run with an id from its node's buffer, uploaded whole the first time.
    void drawFromBuffer(const PointSegment& segment);
    void drawSegmentArrays(const PointSegment& segment);

    struct NodeBuffer {
        unsigned buffer = 0;
        int64_t lastFrame = 0;
        size_t colourOffset = 0;
    };
    bool nodeBuffers_ = false;
    int64_t frames_ = 0;
    int64_t uploads_ = 0;
    // By id and colour array: the same node in other colours is another buffer.
    std::map<std::pair<uint64_t, const void*>, NodeBuffer> buffers_;
    PointPath largePath_ = PointPath::Gl;
    PointPath framePath_ = PointPath::Gl;
    PointSource source_;
    int origin_[2] = {}; // the viewport's corner, where the raster goes
    float eyeDome_ = 0.0f;
    PointRaster raster_;
    GlEyeDome glEyeDome_;
};

// Clouds of fewer points than this always take the GL path: it is fast enough there, and small
// clouds are drawn exactly as before.
constexpr int64_t kSoftwareFrameMinimum = 100000;
// A node's buffer goes once this many frames have not drawn it.
constexpr int64_t kBufferFrames = 120;
