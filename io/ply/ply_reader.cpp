// io/ply/ply_reader.cpp - a PLY file: its header, the vertex element and its fields found, then the
// body of its encoding read.
#include "io/ply/ply_reader.h"

#include "io/ply/ply_layout.h"
#include "io/ply/ply_vertex.h"

#include <algorithm>
#include <string>

ReadResult readPly(const ReadRequest& request) {
    ReadResult result;
    PlyLayout layout;
    std::string reason;
    if (!parsePlyHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    size_t vertexIndex = layout.elements.size();
    for (size_t e = 0; e < layout.elements.size() && vertexIndex == layout.elements.size(); ++e)
        if (layout.elements[e].name == "vertex")
            vertexIndex = e;
    if (vertexIndex == layout.elements.size())
        return refusal("no vertex element");
    const VertexFields fields = findFields(layout.elements[vertexIndex]);
    if (fields.position[0] < 0 || fields.position[1] < 0 || fields.position[2] < 0)
        return refusal("the vertex element has no x, y and z");
    static const char* kEncodings[] = {"ascii", "binary_little_endian", "binary_big_endian"};
    result.format = std::string("PLY ") + kEncodings[static_cast<int>(layout.encoding)];
    result.expected =
        static_cast<int64_t>(std::min<uint64_t>(layout.elements[vertexIndex].count, INT64_MAX));
    switch (layout.encoding) {
        case PlyLayout::Encoding::Ascii:
            readPlyAscii(request, layout, vertexIndex, fields, result);
            break;
        case PlyLayout::Encoding::Little:
        case PlyLayout::Encoding::Big:
            readPlyBinary(request, layout, vertexIndex, fields, result);
            break;
    }
    switch (fields.kind) {
        case VertexFields::Colour::Rgb:
        case VertexFields::Colour::Splat:
            result.colour = ColourKind::Rgb;
            break;
        case VertexFields::Colour::Intensity:
            result.colour = ColourKind::Intensity;
            break;
        case VertexFields::Colour::None:
            result.colour = ColourKind::None;
            break;
    }
    if (fields.kind == VertexFields::Colour::Splat)
        result.format += " (Gaussian splats)";
    return result;
}
