// io/ply/ply_vertex.cpp - scalar type sizes and the vertex element's fields.
#include "io/ply/ply_vertex.h"

size_t typeSize(PlyType type) {
    switch (type) {
        case PlyType::Int8:
        case PlyType::Uint8:
            return 1;
        case PlyType::Int16:
        case PlyType::Uint16:
            return 2;
        case PlyType::Int32:
        case PlyType::Uint32:
        case PlyType::Float32:
            return 4;
        case PlyType::Float64:
            return 8;
    }
    return 1;
}

namespace {

float scaleOf(PlyType type) {
    switch (type) {
        case PlyType::Int8:
        case PlyType::Uint8:
            return 1.0f / 255.0f;
        case PlyType::Int16:
        case PlyType::Uint16:
            return 1.0f / 65535.0f;
        case PlyType::Int32:
        case PlyType::Uint32:
            return 1.0f / 255.0f;
        default:
            return 1.0f;
    }
}

} // namespace

VertexFields findFields(const PlyElement& vertex) {
    VertexFields fields;
    auto find = [&vertex](const char* name) {
        for (size_t i = 0; i < vertex.properties.size(); ++i)
            if (!vertex.properties[i].isList && vertex.properties[i].name == name)
                return static_cast<int>(i);
        return -1;
    };
    const char* axes[3] = {"x", "y", "z"};
    for (int axis = 0; axis < 3; ++axis)
        fields.position[axis] = find(axes[axis]);
    const char* names[4][3] = {{"red", "green", "blue"},
                               {"diffuse_red", "diffuse_green", "diffuse_blue"},
                               {"r", "g", "b"},
                               {"f_dc_0", "f_dc_1", "f_dc_2"}};
    for (int set = 0; set < 4 && fields.kind == VertexFields::Colour::None; ++set) {
        int found[3];
        for (int c = 0; c < 3; ++c)
            found[c] = find(names[set][c]);
        if (found[0] < 0 || found[1] < 0 || found[2] < 0)
            continue;
        std::copy(found, found + 3, fields.colour);
        fields.kind = set == 3 ? VertexFields::Colour::Splat : VertexFields::Colour::Rgb;
        for (int c = 0; c < 3 && set < 3; ++c)
            fields.colourScale[c] = scaleOf(vertex.properties[found[c]].type);
    }
    for (const char* name : {"intensity", "scalar_Intensity"})
        if (fields.intensity < 0)
            fields.intensity = find(name);
    for (const char* name : {"classification", "class", "scalar_Classification"})
        if (fields.classification < 0)
            fields.classification = find(name);
    if (fields.kind == VertexFields::Colour::None) {
        const int intensity = find("intensity");
        if (intensity >= 0) {
            fields.kind = VertexFields::Colour::Intensity;
            std::fill(fields.colour, fields.colour + 3, intensity);
        }
    }
    return fields;
}
