// io/ply/ply_binary.cpp - binary PLY bodies: fixed-stride vertices decoded in one loop split
// over the threads, vertices with lists walked record by record.
#include "io/ply/ply_vertex.h"

#include "io/attribute_staging.h"
#include "io/cloud_builder.h"
#include "io/records_in_place.h"
#include "io/shift.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

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
        found.dropped += !finitePosition(position);
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
    if (!allocateRecords(request, count, result))
        return;
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
    // The attributes first, one entry per record, so that closing the gaps of dropped records
    // moves them along.
    AttributeStaging staging(fields.intensity >= 0, fields.classification >= 0);
    if (staging.any()) {
        staging.resize(static_cast<size_t>(count));
        auto field = [&](int index, size_t& offset, PlyType& type) {
            offset = index >= 0 ? offsets[index] : 0;
            type = index >= 0 ? vertex.properties[index].type : PlyType::Uint8;
        };
        size_t intensityAt, classAt;
        PlyType intensityType, classType;
        field(fields.intensity, intensityAt, intensityType);
        field(fields.classification, classAt, classType);
        runInParts(count, request.threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
            for (int64_t i = begin; i < end; ++i) {
                const unsigned char* record = p + static_cast<size_t>(i) * stride;
                staging.set(static_cast<size_t>(i),
                            valueAt<Big>(record + intensityAt, intensityType),
                            valueAt<Big>(record + classAt, classType));
            }
        });
        staging.finish(static_cast<size_t>(count), result.attributes);
    }
    decodeInParts(result, count, request.threads, shift, [&](int64_t begin, int64_t end) {
        return decodeFixed<Big>(fixed, fields, p, stride, begin, end, shift, result.points);
    });
    if (static_cast<uint64_t>(count) < vertex.count)
        result.message = "the file ends after " + std::to_string(count) + " vertices";
}

template <bool Big>
void readBinary(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                const VertexFields& fields, ReadResult& result) {
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
    const bool coloured = fields.kind != VertexFields::Colour::None;
    std::vector<size_t> offsets(vertex.properties.size());

    if (!hasLists(vertex)) {
        readFixed<Big>(request, vertex, fields, p, end, result);
        return;
    }

    // Lists inside the vertex element: each record's layout found as it is walked.
    CloudBuilder builder;
    AttributeStaging staging(fields.intensity >= 0, fields.classification >= 0);
    if (!builder.reserve(static_cast<int64_t>(
            std::min<uint64_t>(vertex.count, static_cast<uint64_t>(end - p) / 4 + 1)))) {
        builder.cannotGrow(result);
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
        const int64_t before = builder.count();
        if (!builder.add(xyz[0], xyz[1], xyz[2], colourOnly.r, colourOnly.g, colourOnly.b)) {
            builder.cannotGrow(result);
            return;
        }
        auto value = [&](int index) {
            return index < 0 ? 0.0
                             : valueAt<Big>(p + offsets[index], vertex.properties[index].type);
        };
        if (staging.any() && builder.count() > before)
            staging.append(value(fields.intensity), value(fields.classification));
        p += size;
    }
    builder.finish(result);
    staging.finish(static_cast<size_t>(result.count), result.attributes);
    if (read < vertex.count)
        result.message = "the file ends after " + std::to_string(read) + " vertices";
}

} // namespace

void readPlyBinary(const ReadRequest& request, const PlyLayout& layout, size_t vertexIndex,
                   const VertexFields& fields, ReadResult& result) {
    if (layout.encoding == PlyLayout::Encoding::Big)
        readBinary<true>(request, layout, vertexIndex, fields, result);
    else
        readBinary<false>(request, layout, vertexIndex, fields, result);
}
