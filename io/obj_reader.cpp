// io/obj_reader.cpp - one pass over the lines, keeping the "v" statements.
#include "io/obj_reader.h"

#include "io/cloud_builder.h"
#include "io/text_scan.h"

#include <algorithm>
#include <string>

namespace {

bool isVertexLine(const char* p, const char* end) {
    const char* q = skipSeparators(p, end);
    return end - q >= 2 && q[0] == 'v' && (q[1] == ' ' || q[1] == '\t');
}

} // namespace

ReadResult readObj(const ReadRequest& request) {
    ReadResult result;
    result.format = "OBJ";
    const char* p = reinterpret_cast<const char*>(request.bytes);
    const char* end = p + request.size;
    // The "v" lines counted first, so that the records are allocated once, exactly.
    int64_t vertices = 0;
    for (const char* q = p; q < end; q = nextLine(q, end))
        vertices += isVertexLine(q, end);
    CloudBuilder builder;
    if (!builder.reserve(vertices)) {
        builder.cannotGrow(result);
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    bool coloured = false, first = true;
    float colourMax = 0.0f;
    int64_t line = 1;
    // A file cut inside its last vertex ends in a vertex line shorter than the one before.
    const char* last = lastFilledLine(p, end);
    int before = 3;
    for (; p < end; p = nextLine(p, end), ++line) {
        if (!isVertexLine(p, end))
            continue;
        const char* q = skipSeparators(p, end) + 2;
        double values[8];
        bool clean;
        const int got = scanLine(q, end, values, 8, &clean);
        if (p == last && got < before) {
            result.message = "line " + std::to_string(line) +
                             ", the last, is incomplete: " + std::to_string(got) +
                             (got == 1 ? " value" : " values") +
                             (first ? " where a vertex has " : " where the vertex before has ") +
                             std::to_string(before);
            break;
        }
        before = got;
        if (got < 3) {
            result.message = "line " + std::to_string(line) + ": a vertex without x, y and z";
            break;
        }
        if (first)
            coloured = got >= 6;
        first = false;
        float rgb[3] = {1.0f, 1.0f, 1.0f};
        if (coloured && got >= 6) {
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<float>(values[got - 3 + c]);
            colourMax = std::max({colourMax, rgb[0], rgb[1], rgb[2]});
        }
        if (!builder.add(values[0], values[1], values[2], rgb[0], rgb[1], rgb[2])) {
            builder.cannotGrow(result);
            return result;
        }
    }
    if (coloured && colourMax > 1.0f) {
        PointRecord* points = builder.points();
        for (int64_t i = 0; i < builder.count(); ++i)
            points[i].r /= 255.0f, points[i].g /= 255.0f, points[i].b /= 255.0f;
    }
    result.colour = coloured ? ColourKind::Rgb : ColourKind::None;
    if (builder.count() == 0)
        result.message = "no point could be read" +
                         (result.message.empty() ? std::string() : ": " + result.message);
    builder.finish(result);
    return result;
}
