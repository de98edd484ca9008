// io/ply/ply_vertex.h - private to the PLY reader: what both bodies read a vertex with (the
// scalar types' sizes and values, which properties hold position and colour, the colour they
// give), and the two body readers.
#pragma once

#include "io/byte_order.h"
#include "io/format_reader.h"
#include "io/ply/ply_layout.h"
#include "io/point_records.h"

#include <algorithm>
#include <cstddef>

size_t typeSize(PlyType type);

template <bool Big> inline double valueAt(const unsigned char* p, PlyType type) {
    auto load = [p](auto zero) {
        using T = decltype(zero);
        return Big ? loadBig<T>(p) : loadLittle<T>(p);
    };
    switch (type) {
        case PlyType::Int8:
            return static_cast<int8_t>(*p);
        case PlyType::Uint8:
            return *p;
        case PlyType::Int16:
            return load(int16_t());
        case PlyType::Uint16:
            return load(uint16_t());
        case PlyType::Int32:
            return load(int32_t());
        case PlyType::Uint32:
            return load(uint32_t());
        case PlyType::Float32:
            return load(float());
        case PlyType::Float64:
            return load(double());
    }
    return 0.0;
}

// Which properties of the vertex element give position, colour and the attributes, and how
// colour scales.
struct VertexFields {
    int position[3] = {-1, -1, -1};
    int colour[3] = {-1, -1, -1};
    int intensity = -1;
    int classification = -1;
    enum class Colour { None, Rgb, Splat, Intensity } kind = Colour::None;
    float colourScale[3] = {1.0f, 1.0f, 1.0f};
};

// The position, colour, intensity and class properties of the vertex element, by the names PLY
// writers use.
VertexFields findFields(const PlyElement& vertex);

inline void colourFrom(const VertexFields& fields, const double values[3], PointRecord& p) {
    float c[3];
    for (int i = 0; i < 3; ++i) {
        const float v = static_cast<float>(values[i]);
        if (fields.kind == VertexFields::Colour::Splat)
            c[i] = std::min(std::max(0.5f + 0.28209479f * v, 0.0f), 1.0f);
        else if (fields.kind == VertexFields::Colour::Rgb)
            c[i] = v * fields.colourScale[i];
        else
            c[i] = fields.kind == VertexFields::Colour::Intensity ? v : 1.0f;
    }
    p.r = c[0], p.g = c[1], p.b = c[2];
}

// The vertex element's records into result, after the elements before it: from the ascii body
// line by line in blocks over the threads; from a binary body in one loop over its fixed
// stride (split over the threads), or record by record when it holds lists.
void readPlyAscii(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                  const VertexFields& fields, ReadResult& result);
void readPlyBinary(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                   const VertexFields& fields, ReadResult& result);
