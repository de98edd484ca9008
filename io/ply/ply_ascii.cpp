// io/ply/ply_ascii.cpp - ascii PLY bodies: one vertex a line, read in blocks of lines over the
// threads.
#include "io/ply/ply_vertex.h"

#include "io/line_blocks.h"
#include "io/shift.h"
#include "io/text_scan.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// Reads the vertex on the line at p into values (one per property, 0 for a list); false, p
// unmoved, when the line does not hold it. A list the line does not hold is taken as empty, so
// that files whose header declares a list that the lines lack still read their vertices.
bool readAsciiVertex(const char*& p, const char* end, const PlyElement& vertex, double* values) {
    const char* q = p;
    for (size_t i = 0; i < vertex.properties.size(); ++i) {
        q = skipSeparators(q, end);
        const bool lineEnded = q == end || isLineEnd(*q);
        if (vertex.properties[i].isList) {
            double items = 0.0;
            // A line holds fewer numbers than it has bytes.
            if (!lineEnded && (!scanNumber(q, end, items) || !(items >= 0) ||
                               items > static_cast<double>(end - q)))
                return false;
            for (int64_t k = 0; k < static_cast<int64_t>(items); ++k) {
                q = skipSeparators(q, end);
                double ignored;
                if (!scanNumber(q, end, ignored))
                    return false;
            }
            values[i] = 0.0;
        } else if (lineEnded || !scanNumber(q, end, values[i])) {
            return false;
        }
    }
    p = nextLine(q, end);
    return true;
}

// The vertices of the lines [p, end), at most `most`, into out (slot `slot` of the records)
// against the shift, their attributes into staging.
LineBlock readAsciiBlock(const char* p, const char* end, int64_t most, const PlyElement& vertex,
                         const VertexFields& fields, const double shift[3], PointRecord* out,
                         int64_t slot, AttributeStaging* staging) {
    LineBlock read;
    std::vector<double> values(vertex.properties.size());
    while (read.kept + read.dropped < most && p < end) {
        if (!readAsciiVertex(p, end, vertex, values.data())) {
            read.bad = p;
            break;
        }
        double rgb[3] = {0.0, 0.0, 0.0};
        for (int c = 0; c < 3 && fields.kind != VertexFields::Colour::None; ++c)
            rgb[c] = values[fields.colour[c]];
        PointRecord point{};
        colourFrom(fields, rgb, point);
        const double xyz[3] = {values[fields.position[0]], values[fields.position[1]],
                               values[fields.position[2]]};
        if (read.keep(xyz, shift, point, out) && staging)
            staging->set(static_cast<size_t>(slot + read.kept - 1),
                         fields.intensity >= 0 ? values[fields.intensity] : 0.0,
                         fields.classification >= 0 ? values[fields.classification] : 0.0);
    }
    return read;
}

} // namespace

void readPlyAscii(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                  const VertexFields& fields, ReadResult& result) {
    const char* p = reinterpret_cast<const char*>(request.bytes) + layout.bodyOffset;
    const char* end = reinterpret_cast<const char*>(request.bytes) + request.size;
    for (size_t e = 0; e < vertexIndex; ++e)
        for (uint64_t i = 0; i < layout.elements[e].count && p < end; ++i)
            p = nextLine(p, end);
    const PlyElement& vertex = layout.elements[vertexIndex];
    const int64_t most = static_cast<int64_t>(std::min<uint64_t>(vertex.count, INT64_MAX));
    std::vector<double> values(vertex.properties.size());
    TextBody body;
    body.look = [&](const char*& q, const char* end, double xyz[3]) {
        if (!readAsciiVertex(q, end, vertex, values.data()))
            return LineKind::Bad;
        for (int a = 0; a < 3; ++a)
            xyz[a] = values[fields.position[a]];
        return LineKind::Record;
    };
    AttributeStaging staging(fields.intensity >= 0, fields.classification >= 0);
    body.attributes = staging.any() ? &staging : nullptr;
    body.block = [&](const char* from, const char* to, int64_t limit, const double shift[3],
                     PointRecord* out, int64_t slot) {
        return readAsciiBlock(from, to, limit, vertex, fields, shift, out, slot, body.attributes);
    };
    body.missing = "vertex";
    LineBlock joined;
    readTextBody(request, p, end, most, true, body, result, joined);
}
