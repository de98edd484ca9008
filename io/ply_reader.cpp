// io/ply_reader.cpp - the PLY header, then the body: fixed-stride binary vertices decoded in one
// loop (split over threads), anything with lists walked record by record, ascii line by line.
#include "io/ply_reader.h"

#include "io/byte_order.h"
#include "io/cloud_builder.h"
#include "io/parallel.h"
#include "io/shift.h"
#include "io/text_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// --- Header ---

bool typeNamed(const std::string& name, PlyType& type) {
    static const struct {
        const char* name;
        PlyType type;
    } kNames[] = {
        {"char", PlyType::Int8},       {"int8", PlyType::Int8},       {"uchar", PlyType::Uint8},
        {"uint8", PlyType::Uint8},     {"short", PlyType::Int16},     {"int16", PlyType::Int16},
        {"ushort", PlyType::Uint16},   {"uint16", PlyType::Uint16},   {"int", PlyType::Int32},
        {"int32", PlyType::Int32},     {"uint", PlyType::Uint32},     {"uint32", PlyType::Uint32},
        {"float", PlyType::Float32},   {"float32", PlyType::Float32}, {"double", PlyType::Float64},
        {"float64", PlyType::Float64},
    };
    for (const auto& entry : kNames)
        if (name == entry.name) {
            type = entry.type;
            return true;
        }
    return false;
}

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

template <bool Big> double valueAt(const unsigned char* p, PlyType type) {
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

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            ++end;
        if (end > at)
            out.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

// Which properties of the vertex element give position and colour, and how colour scales.
struct VertexFields {
    int position[3] = {-1, -1, -1};
    int colour[3] = {-1, -1, -1};
    enum class Colour { None, Rgb, Splat, Intensity } kind = Colour::None;
    float colourScale[3] = {1.0f, 1.0f, 1.0f};
};

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
    if (fields.kind == VertexFields::Colour::None) {
        const int intensity = find("intensity");
        if (intensity >= 0) {
            fields.kind = VertexFields::Colour::Intensity;
            std::fill(fields.colour, fields.colour + 3, intensity);
        }
    }
    return fields;
}

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

// --- Binary body ---

// The byte size of one record at p, lists included; 0 when it runs past end.
template <bool Big>
size_t recordSize(const PlyElement& element, const unsigned char* p, const unsigned char* end,
                  size_t* offsets) {
    size_t at = 0;
    for (size_t i = 0; i < element.properties.size(); ++i) {
        const PlyProperty& property = element.properties[i];
        if (offsets)
            offsets[i] = at;
        if (!property.isList) {
            at += typeSize(property.type);
            continue;
        }
        const size_t countBytes = typeSize(property.countType);
        if (static_cast<size_t>(end - p) < at + countBytes)
            return 0;
        const double items = valueAt<Big>(p + at, property.countType);
        at += countBytes;
        if (!(items >= 0 && items <= static_cast<double>(end - p)))
            return 0;
        at += static_cast<size_t>(items) * typeSize(property.type);
    }
    return at <= static_cast<size_t>(end - p) ? at : 0;
}

bool hasLists(const PlyElement& element) {
    for (const PlyProperty& property : element.properties)
        if (property.isList)
            return true;
    return false;
}

size_t fixedSize(const PlyElement& element) {
    size_t size = 0;
    for (const PlyProperty& property : element.properties)
        size += typeSize(property.type);
    return size;
}

// Decodes vertices [begin, end) of the fixed stride: xyz(record, double[3]) reads a position,
// rgb(record, float[3]) a colour. Templated on both so that the common layouts compile to a
// loop without a dispatch per property.
template <class Xyz, class Rgb>
PartFound decodeVertices(const unsigned char* body, size_t stride, int64_t begin, int64_t end,
                         const double shift[3], PointRecord* points, Xyz xyz, Rgb rgb) {
    PartFound found;
    for (int64_t i = begin; i < end; ++i) {
        const unsigned char* record = body + static_cast<size_t>(i) * stride;
        double position[3];
        float colour[3];
        xyz(record, position);
        rgb(record, colour);
        PointRecord& point = points[i];
        point = {static_cast<float>(position[0] - shift[0]),
                 static_cast<float>(position[1] - shift[1]),
                 static_cast<float>(position[2] - shift[2]),
                 colour[0],
                 colour[1],
                 colour[2]};
        found.box.add(point);
        found.dropped += !std::isfinite(position[0]) || !std::isfinite(position[1]) ||
                         !std::isfinite(position[2]);
    }
    return found;
}

// The vertices' fields, resolved once: offsets within a record and types.
struct FixedLayout {
    size_t position[3], colour[3];
    PlyType positionType[3], colourType[3];
    bool coloured;

    bool all(const PlyType types[3], PlyType type) const {
        return types[0] == type && types[1] == type && types[2] == type;
    }
};

// Any fixed layout, each value through valueAt and the colour through colourFrom.
template <bool Big>
PartFound decodeGeneral(const FixedLayout& fixed, const VertexFields& fields,
                        const unsigned char* body, size_t stride, int64_t begin, int64_t end,
                        const double shift[3], PointRecord* points) {
    return decodeVertices(
        body, stride, begin, end, shift, points,
        [&fixed](const unsigned char* record, double xyz[3]) {
            for (int a = 0; a < 3; ++a)
                xyz[a] = valueAt<Big>(record + fixed.position[a], fixed.positionType[a]);
        },
        [&fixed, &fields](const unsigned char* record, float rgb[3]) {
            double values[3] = {0.0, 0.0, 0.0};
            if (fixed.coloured)
                for (int c = 0; c < 3; ++c)
                    values[c] = valueAt<Big>(record + fixed.colour[c], fixed.colourType[c]);
            PointRecord colourOnly{};
            colourFrom(fields, values, colourOnly);
            rgb[0] = colourOnly.r, rgb[1] = colourOnly.g, rgb[2] = colourOnly.b;
        });
}

// Picks the loop for the layout: float or double positions with uchar colours or none, as
// writers most often lay them out, get their own; anything else reads through valueAt.
template <bool Big>
PartFound decodeFixed(const FixedLayout& fixed, const VertexFields& fields,
                      const unsigned char* body, size_t stride, int64_t begin, int64_t end,
                      const double shift[3], PointRecord* points) {
    auto load = [](const unsigned char* p, auto zero) {
        using T = decltype(zero);
        return Big ? loadBig<T>(p) : loadLittle<T>(p);
    };
    auto positions = [&](auto zero) {
        return [&fixed, load, zero](const unsigned char* record, double xyz[3]) {
            for (int a = 0; a < 3; ++a)
                xyz[a] = load(record + fixed.position[a], zero);
        };
    };
    auto bytes = [&fixed, &fields](const unsigned char* record, float rgb[3]) {
        for (int c = 0; c < 3; ++c)
            rgb[c] = static_cast<float>(record[fixed.colour[c]]) * fields.colourScale[c];
    };
    auto white = [](const unsigned char*, float rgb[3]) { rgb[0] = rgb[1] = rgb[2] = 1.0f; };
    const bool rgbBytes =
        fields.kind == VertexFields::Colour::Rgb && fixed.all(fixed.colourType, PlyType::Uint8);
    const bool plain = fields.kind == VertexFields::Colour::None;
    for (PlyType type : {PlyType::Float32, PlyType::Float64}) {
        if (!fixed.all(fixed.positionType, type) || !(rgbBytes || plain))
            continue;
        if (type == PlyType::Float32)
            return rgbBytes ? decodeVertices(body, stride, begin, end, shift, points,
                                             positions(float()), bytes)
                            : decodeVertices(body, stride, begin, end, shift, points,
                                             positions(float()), white);
        return rgbBytes ? decodeVertices(body, stride, begin, end, shift, points,
                                         positions(double()), bytes)
                        : decodeVertices(body, stride, begin, end, shift, points,
                                         positions(double()), white);
    }
    return decodeGeneral<Big>(fixed, fields, body, stride, begin, end, shift, points);
}

template <bool Big>
void readFixed(const ReadRequest& request, const PlyElement& vertex, const VertexFields& fields,
               const unsigned char* p, const unsigned char* end, ReadResult& result) {
    const size_t stride = fixedSize(vertex);
    std::vector<size_t> offsets(vertex.properties.size());
    recordSize<Big>(vertex, p, p + stride, offsets.data());
    const uint64_t available = stride ? static_cast<uint64_t>(end - p) / stride : 0;
    const int64_t count = static_cast<int64_t>(std::min<uint64_t>(vertex.count, available));
    result.points = allocatePoints(count);
    if (!result.points) {
        result.status = ReadStatus::CannotAllocate;
        return;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    FixedLayout fixed;
    fixed.coloured = fields.kind != VertexFields::Colour::None;
    for (int i = 0; i < 3; ++i) {
        fixed.position[i] = offsets[fields.position[i]];
        fixed.positionType[i] = vertex.properties[fields.position[i]].type;
        fixed.colour[i] = fixed.coloured ? offsets[fields.colour[i]] : 0;
        fixed.colourType[i] =
            fixed.coloured ? vertex.properties[fields.colour[i]].type : PlyType::Uint8;
    }
    double shift[3] = {0.0, 0.0, 0.0};
    if (count > 0) {
        double first[3];
        for (int i = 0; i < 3; ++i)
            first[i] = valueAt<Big>(p + fixed.position[i], fixed.positionType[i]);
        provisionalShift(first, shift);
    }
    decodeInParts(result, count, request.threads, shift, [&](int64_t begin, int64_t end) {
        return decodeFixed<Big>(fixed, fields, p, stride, begin, end, shift, result.points);
    });
    if (static_cast<uint64_t>(count) < vertex.count)
        result.message = "the file ends after " + std::to_string(count) + " vertices";
}

template <bool Big>
void readBinary(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                ReadResult& result) {
    const unsigned char* p = request.bytes + layout.bodyOffset;
    const unsigned char* end = request.bytes + request.size;
    // Elements before the vertices are skipped whole, record by record when they hold lists.
    for (size_t e = 0; e < vertexIndex; ++e) {
        const PlyElement& element = layout.elements[e];
        if (!hasLists(element)) {
            const size_t size = fixedSize(element);
            if (size && element.count > static_cast<uint64_t>(end - p) / size) {
                p = end;
                break;
            }
            p += size * element.count;
            continue;
        }
        for (uint64_t i = 0; i < element.count && p < end; ++i) {
            const size_t size = recordSize<Big>(element, p, end, nullptr);
            p = size ? p + size : end;
        }
    }
    const PlyElement& vertex = layout.elements[vertexIndex];
    const VertexFields fields = findFields(vertex);
    const bool coloured = fields.kind != VertexFields::Colour::None;
    std::vector<size_t> offsets(vertex.properties.size());

    if (!hasLists(vertex)) {
        readFixed<Big>(request, vertex, fields, p, end, result);
        return;
    }

    // Lists inside the vertex element: each record's layout found as it is walked.
    CloudBuilder builder;
    if (!builder.reserve(static_cast<int64_t>(
            std::min<uint64_t>(vertex.count, static_cast<uint64_t>(end - p) / 4 + 1)))) {
        result.status = ReadStatus::CannotAllocate;
        return;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    uint64_t read = 0;
    for (; read < vertex.count; ++read) {
        const size_t size = recordSize<Big>(vertex, p, end, offsets.data());
        if (!size)
            break;
        double xyz[3], rgb[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < 3; ++a)
            xyz[a] = valueAt<Big>(p + offsets[fields.position[a]],
                                  vertex.properties[fields.position[a]].type);
        if (coloured)
            for (int c = 0; c < 3; ++c)
                rgb[c] = valueAt<Big>(p + offsets[fields.colour[c]],
                                      vertex.properties[fields.colour[c]].type);
        PointRecord colourOnly{};
        colourFrom(fields, rgb, colourOnly);
        if (!builder.add(xyz[0], xyz[1], xyz[2], colourOnly.r, colourOnly.g, colourOnly.b)) {
            result.status = ReadStatus::CannotAllocate;
            return;
        }
        p += size;
    }
    builder.finish(result);
    if (read < vertex.count)
        result.message = "the file ends after " + std::to_string(read) + " vertices";
}

// --- Ascii body ---

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

// The vertices of the lines [p, end), at most `most`, into out against the shift.
LineBlock readAsciiBlock(const char* p, const char* end, int64_t most, const PlyElement& vertex,
                         const VertexFields& fields, const double shift[3], PointRecord* out) {
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
        read.keep(xyz, shift, point, out);
    }
    return read;
}

// One vertex per line, in blocks of lines over the threads.
void readAscii(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
               ReadResult& result) {
    const char* p = reinterpret_cast<const char*>(request.bytes) + layout.bodyOffset;
    const char* end = reinterpret_cast<const char*>(request.bytes) + request.size;
    for (size_t e = 0; e < vertexIndex; ++e)
        for (uint64_t i = 0; i < layout.elements[e].count && p < end; ++i)
            p = nextLine(p, end);
    const PlyElement& vertex = layout.elements[vertexIndex];
    const VertexFields fields = findFields(vertex);
    const int64_t most = static_cast<int64_t>(std::min<uint64_t>(vertex.count, INT64_MAX));
    // The shift is the first finite position's, as if the vertices were added one by one.
    double shift[3] = {0.0, 0.0, 0.0};
    std::vector<double> values(vertex.properties.size());
    const char* q = p;
    for (int64_t i = 0; i < most && q < end && readAsciiVertex(q, end, vertex, values.data());
         ++i) {
        const double xyz[3] = {values[fields.position[0]], values[fields.position[1]],
                               values[fields.position[2]]};
        if (std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2])) {
            provisionalShift(xyz, shift);
            break;
        }
    }
    LineBlock joined;
    if (!readLineBlocks(
            p, end, most, request.threads, true, request.headerAccepted,
            [&](const char* from, const char* to, int64_t limit, PointRecord* out) {
                return readAsciiBlock(from, to, limit, vertex, fields, shift, out);
            },
            result, joined))
        return;
    const int64_t read = result.count + result.dropped;
    if (read < most)
        result.message = "vertex " + std::to_string(read + 1) + " is missing or malformed";
    settleShiftOverBox(result, shift, joined.box, request.threads);
}

} // namespace

bool hasPlySignature(const unsigned char* head, size_t size) {
    return size >= 4 && std::memcmp(head, "ply", 3) == 0 && (head[3] == '\n' || head[3] == '\r');
}

bool parsePlyHeader(const unsigned char* bytes, size_t size, PlyLayout& layout,
                    std::string& reason) {
    const char* p = reinterpret_cast<const char*>(bytes);
    const char* end = p + size;
    bool formatSeen = false;
    for (int lineNumber = 1;; ++lineNumber) {
        if (p >= end) {
            reason = "the header has no end_header line";
            return false;
        }
        const char* lineEnd = p;
        while (lineEnd < end && !isLineEnd(*lineEnd))
            ++lineEnd;
        const std::vector<std::string> word = words(std::string(p, lineEnd));
        p = nextLine(p, end);
        if (lineNumber == 1)
            continue; // "ply", checked by the signature
        if (word.empty() || word[0] == "comment" || word[0] == "obj_info")
            continue;
        if (word[0] == "end_header") {
            layout.bodyOffset = static_cast<size_t>(p - reinterpret_cast<const char*>(bytes));
            break;
        }
        if (word[0] == "format" && word.size() >= 2) {
            if (word[1] == "ascii")
                layout.encoding = PlyLayout::Encoding::Ascii;
            else if (word[1] == "binary_little_endian")
                layout.encoding = PlyLayout::Encoding::Little;
            else if (word[1] == "binary_big_endian")
                layout.encoding = PlyLayout::Encoding::Big;
            else {
                reason = "unknown encoding '" + word[1] + "'";
                return false;
            }
            formatSeen = true;
        } else if (word[0] == "element" && word.size() >= 3) {
            PlyElement element;
            element.name = word[1];
            char* stop = nullptr;
            element.count = std::strtoull(word[2].c_str(), &stop, 10);
            if (*stop || word[2][0] == '-') {
                reason = "element " + word[1] + " has a bad count '" + word[2] + "'";
                return false;
            }
            layout.elements.push_back(element);
        } else if (word[0] == "property" && !layout.elements.empty()) {
            PlyProperty property;
            bool known;
            if (word.size() >= 5 && word[1] == "list") {
                property.isList = true;
                known = typeNamed(word[2], property.countType) && typeNamed(word[3], property.type);
                property.name = word[4];
            } else if (word.size() >= 3) {
                known = typeNamed(word[1], property.type);
                property.name = word[2];
            } else {
                known = false;
            }
            if (!known) {
                reason = "line " + std::to_string(lineNumber) + ": property type not known";
                return false;
            }
            layout.elements.back().properties.push_back(property);
        } else {
            reason = "line " + std::to_string(lineNumber) + " of the header is not understood";
            return false;
        }
    }
    if (!formatSeen) {
        reason = "the header has no format line";
        return false;
    }
    return true;
}

ReadResult readPly(const ReadRequest& request) {
    ReadResult result;
    PlyLayout layout;
    std::string reason;
    auto refuse = [&](const std::string& why) {
        result.status = ReadStatus::Refused;
        result.message = std::string(request.path) + ": PLY file, " + why;
        return result;
    };
    if (!parsePlyHeader(request.bytes, request.size, layout, reason))
        return refuse(reason);
    size_t vertexIndex = layout.elements.size();
    for (size_t e = 0; e < layout.elements.size() && vertexIndex == layout.elements.size(); ++e)
        if (layout.elements[e].name == "vertex")
            vertexIndex = e;
    if (vertexIndex == layout.elements.size())
        return refuse("no vertex element");
    const VertexFields fields = findFields(layout.elements[vertexIndex]);
    if (fields.position[0] < 0 || fields.position[1] < 0 || fields.position[2] < 0)
        return refuse("the vertex element has no x, y and z");
    static const char* kEncodings[] = {"ascii", "binary_little_endian", "binary_big_endian"};
    result.format = std::string("PLY ") + kEncodings[static_cast<int>(layout.encoding)];
    result.expected =
        static_cast<int64_t>(std::min<uint64_t>(layout.elements[vertexIndex].count, INT64_MAX));
    switch (layout.encoding) {
        case PlyLayout::Encoding::Ascii:
            readAscii(request, layout, vertexIndex, result);
            break;
        case PlyLayout::Encoding::Little:
            readBinary<false>(request, layout, vertexIndex, result);
            break;
        case PlyLayout::Encoding::Big:
            readBinary<true>(request, layout, vertexIndex, result);
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
