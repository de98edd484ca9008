// viewer/point_raster.cpp - the CPU projection of size-1 points and its threads.
#include "viewer/point_raster.h"

#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Passes smaller than this many points per thread are not worth a thread.
constexpr int64_t kPointsPerThread = 32768;
constexpr int64_t kPrefetchAhead = 16;

struct RunPick {
    static constexpr bool scattered = false;
    int64_t first;
    int64_t operator()(int64_t k) const { return first + k; }
};
struct IndexPick {
    static constexpr bool scattered = true;
    const uint32_t* indices;
    int64_t operator()(int64_t k) const { return static_cast<int64_t>(indices[k]); }
};

// The rasteriser turns a colour to 8 bits by adding it, scaled by 255/256, to 2^15 and keeping
// the low byte of the sum: its rounding is that of the float addition. NaN counts as 1.
uint32_t colourByte(float value) {
    if (!(value <= 1.0f))
        return 255;
    if (!(value > 0.0f))
        return 0;
    const float sum = value * 0.99609375f + 32768.0f;
    uint32_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    return bits & 0xff;
}

uint32_t packColour(const PointSource& source, int64_t i) {
    const char* at = static_cast<const char*>(source.colours) + i * source.colourStride;
    if (source.colourType == PointSource::ByteRgb) {
        const unsigned char* c = reinterpret_cast<const unsigned char*>(at);
        return c[0] | (uint32_t(c[1]) << 8) | (uint32_t(c[2]) << 16) | 0xff000000u;
    }
    float c[3];
    std::memcpy(c, at, sizeof c);
    return colourByte(c[0]) | (colourByte(c[1]) << 8) | (colourByte(c[2]) << 16) | 0xff000000u;
}

// The pixel coordinate the rasteriser gives a window coordinate: snapped to 1/256 with round
// to nearest, then floored.
inline int snappedPixel(float window) {
    // Adding and taking away 1.5 x 2^23 rounds to the nearest integer as lrint does (ties to
    // even), for the values a window coordinate takes, without a library call per point.
    const float rounded = (window * 256.0f + 12582912.0f) - 12582912.0f;
    return static_cast<int>(rounded) >> 8;
}

} // namespace

PointRaster::PointRaster(int threads) {
    threads_ = std::clamp(threads > 0 ? threads : usableCores(), 1, kMostParts);
}

void PointRaster::begin(const View& view, bool keepDepth) {
    // GL keeps the matrices it is given in float and forms their product in float, in this
    // order: clip coordinates round alike only so.
    float a[16], b[16];
    for (int i = 0; i < 16; ++i) {
        a[i] = static_cast<float>(view.projection[i]);
        b[i] = static_cast<float>(view.modelview[i]);
    }
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            transform_[column * 4 + row] = a[row] * b[column * 4] + a[4 + row] * b[column * 4 + 1] +
                                           a[8 + row] * b[column * 4 + 2] +
                                           a[12 + row] * b[column * 4 + 3];
    width_ = std::max(0, view.viewport[2]);
    height_ = std::max(0, view.viewport[3]);
    // Window coordinates as GL forms them; the buffer covers the viewport alone, so the pixels
    // are counted from its corner once snapped.
    origin_[0] = view.viewport[0];
    origin_[1] = view.viewport[1];
    scale_[0] = static_cast<float>(width_) * 0.5f;
    scale_[1] = static_cast<float>(height_) * 0.5f;
    offset_[0] = static_cast<float>(origin_[0]) + scale_[0];
    offset_[1] = static_cast<float>(origin_[1]) + scale_[1];
    pixels_.assign(size_t(width_) * size_t(height_), 0u);
    // Each pass leaves the layers empty: only a new size needs them cleared.
    layers_.resize(size_t(threads_ - 1));
    for (std::vector<uint32_t>& layer : layers_)
        if (layer.size() != pixels_.size())
            layer.assign(pixels_.size(), 0u);
    // A depth is read only where a pixel was drawn, so none needs clearing.
    keepDepth_ = keepDepth;
    if (keepDepth) {
        depths_.resize(pixels_.size());
        depthLayers_.resize(layers_.size());
        for (std::vector<float>& layer : depthLayers_)
            layer.resize(pixels_.size());
    }
}

template <typename Pick>
void PointRaster::project(const PointSource& source, Pick pick, int64_t from, int64_t to,
                          uint32_t* out, float* depthOut) const {
    const float* m = transform_;
    const int width = width_, height = height_, left = origin_[0], bottom = origin_[1];
    const float sx = scale_[0], sy = scale_[1], ox = offset_[0], oy = offset_[1];
    const char* base = static_cast<const char*>(source.positions);
    for (int64_t k = from; k < to; ++k) {
        const int64_t i = pick(k);
        // A sample's records lie far apart: ask for the ones a few points ahead early.
        if constexpr (Pick::scattered)
            if (k + kPrefetchAhead < to) {
                const int64_t ahead = pick(k + kPrefetchAhead);
                __builtin_prefetch(base + ahead * source.positionStride);
                __builtin_prefetch(static_cast<const char*>(source.colours) +
                                   ahead * source.colourStride);
            }
        float p[3];
        std::memcpy(p, base + i * source.positionStride, sizeof p);
        const float cx = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12];
        const float cy = m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13];
        const float cz = m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14];
        const float cw = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15];
        // Written so that NaN fails every test and the point is dropped, as GL drops it.
        if (!(cx >= -cw && cx <= cw && cy >= -cw && cy <= cw && cz >= -cw && cz <= cw))
            continue;
        const float inverse = 1.0f / cw;
        const int x = snappedPixel(cx * inverse * sx + ox) - left;
        const int y = snappedPixel(cy * inverse * sy + oy) - bottom;
        if (x < 0 || y < 0 || x >= width || y >= height)
            continue;
        const size_t pixel = size_t(y) * size_t(width) + size_t(x);
        out[pixel] = packColour(source, i);
        if (depthOut)
            depthOut[pixel] = cw;
    }
}

template <typename Pass> void PointRaster::split(int64_t count, Pass pass) {
    const int threads =
        static_cast<int>(std::clamp<int64_t>(count / kPointsPerThread, 1, threads_));
    if (threads == 1) {
        pass(0, count, pixels_.data(), keepDepth_ ? depths_.data() : nullptr);
        return;
    }
    runInParts(count, threads, [&](int64_t begin, int64_t end, int part) {
        if (part == 0)
            pass(begin, end, pixels_.data(), keepDepth_ ? depths_.data() : nullptr);
        else
            pass(begin, end, layers_[size_t(part - 1)].data(),
                 keepDepth_ ? depthLayers_[size_t(part - 1)].data() : nullptr);
    });
    for (int t = 1; t < threads; ++t) {
        std::vector<uint32_t>& layer = layers_[size_t(t - 1)];
        if (keepDepth_) {
            const std::vector<float>& depthLayer = depthLayers_[size_t(t - 1)];
            for (size_t i = 0; i < pixels_.size(); ++i)
                if (layer[i] != 0) {
                    pixels_[i] = layer[i];
                    depths_[i] = depthLayer[i];
                }
        } else {
            for (size_t i = 0; i < pixels_.size(); ++i)
                if (layer[i] != 0)
                    pixels_[i] = layer[i];
        }
        std::fill(layer.begin(), layer.end(), 0u);
    }
}

void PointRaster::addRange(const PointSource& source, int64_t first, int64_t count) {
    split(count, [&](int64_t begin, int64_t end, uint32_t* out, float* depthOut) {
        project(source, RunPick{first}, begin, end, out, depthOut);
    });
}

void PointRaster::addIndices(const PointSource& source, const uint32_t* indices, int64_t count) {
    split(count, [&](int64_t begin, int64_t end, uint32_t* out, float* depthOut) {
        project(source, IndexPick{indices}, begin, end, out, depthOut);
    });
}

void PointRaster::addSegments(const PointSegment* segments, size_t count) {
    int64_t total = 0;
    for (size_t s = 0; s < count; ++s)
        total += std::max<int64_t>(segments[s].count, 0);
    // The segments one after the other, as one run split over the threads.
    split(total, [&](int64_t begin, int64_t end, uint32_t* out, float* depthOut) {
        int64_t start = 0;
        for (size_t s = 0; s < count && start < end; ++s) {
            const PointSegment& segment = segments[s];
            const int64_t length = std::max<int64_t>(segment.count, 0);
            const int64_t from = std::max<int64_t>(begin - start, 0);
            const int64_t to = std::min(end - start, length);
            if (from < to && segment.indices != nullptr)
                project(segment.source, IndexPick{segment.indices + segment.first}, from, to, out,
                        depthOut);
            else if (from < to)
                project(segment.source, RunPick{segment.first}, from, to, out, depthOut);
            start += length;
        }
    });
}
