// viewer/point_raster.h - size-1 points projected into a colour buffer on the CPU, pixel for
// pixel as the software GL rasteriser draws them.
#pragma once

#include "viewer/view.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the points are: positions (three floats) and colours (three floats or three bytes),
// each with its stride in bytes, so records of any layout are read in place.
struct PointSource {
    enum ColourType { FloatRgb, ByteRgb };
    const void* positions = nullptr;
    int64_t positionStride = 0;
    const void* colours = nullptr;
    ColourType colourType = FloatRgb;
    int64_t colourStride = 0;
    int64_t count = 0;
};

// A run of a source's points: count of them from first; with indices, the points those of
// indices[first, first + count) name (the shown records when some are hidden).
struct PointSegment {
    PointSource source;
    int64_t first = 0;
    int64_t count = 0;
    const uint32_t* indices = nullptr;
    // Not 0: the points of source [nodeFirst, nodeFirst + nodeCount), with their colours, never
    // change under this number (a node of a level of detail), so that a GPU may keep them in a
    // buffer of their own; the run (its range, or the points its indices name) lies among them,
    // as a part of the node or its points shown.
    uint64_t id = 0;
    int64_t nodeFirst = 0;
    int64_t nodeCount = 0;
};

// An RGBA buffer the size of the viewport, bottom row first, 0 where no point landed (alpha 0),
// so that it can go over what is under it with an alpha test. Points added in several passes
// land as if drawn in one: a later point covers an earlier one on the same pixel. Each pass is
// split over the threads; a point lands where GL_POINTS of size 1 puts it: the clip planes of
// the volume, then the window coordinates snapped to 1/256 of a pixel as the rasteriser keeps
// them, then their floor; colours clamped and rounded to 8 bits the way the rasteriser does.
// On request it also keeps the eye depth (clip w) of the point each pixel shows, for shading by
// depth; the colours are the same either way.
class PointRaster {
public:
    explicit PointRaster(int threads = 0); // 0: one per core
    // Starts an empty frame with the view's matrices and size, keeping depths or not.
    void begin(const View& view, bool keepDepth = false);
    void addRange(const PointSource& source, int64_t first, int64_t count);
    void addIndices(const PointSource& source, const uint32_t* indices, int64_t count);
    // The segments' points in their order, as if one run.
    void addSegments(const PointSegment* segments, size_t count);

    int threads() const { return threads_; }
    int width() const { return width_; }
    int height() const { return height_; }
    const uint32_t* pixels() const { return pixels_.data(); }
    uint32_t* pixels() { return pixels_.data(); }
    // With keepDepth, each pixel's eye depth, meaningful where its pixel is not 0; else nullptr.
    float* depths() { return keepDepth_ ? depths_.data() : nullptr; }

private:
    // Projects points from..to of a pass into out, and their eye depths into depthOut unless it
    // is null.
    template <typename Pick>
    void project(const PointSource& source, Pick pick, int64_t from, int64_t to, uint32_t* out,
                 float* depthOut) const;
    // Runs pass(begin, end, out, depthOut) over a pass of count points split over the threads, and
    // lays the later threads' layers (and depths) over the first's.
    template <typename Pass> void split(int64_t count, Pass pass);

    int threads_ = 1;
    int width_ = 0;
    int height_ = 0;
    float transform_[16] = {}; // projection x modelview, multiplied as GL does
    int origin_[2] = {};
    float scale_[2] = {};
    float offset_[2] = {};
    std::vector<uint32_t> pixels_;
    bool keepDepth_ = false;
    std::vector<float> depths_;
    // One buffer for each thread but the first, which draws into pixels_ itself: the others'
    // points come later in the pass and are laid over it in thread order. Their depths likewise.
    std::vector<std::vector<uint32_t>> layers_;
    std::vector<std::vector<float>> depthLayers_;
};
