// io/pcd/pcd_binary.cpp - binary PCD bodies: rows, or columns after LZF, decoded in place and
// split over the threads.
#include "io/pcd/pcd_layout.h"

#include "io/attribute_staging.h"
#include "io/records_in_place.h"
#include "io/shift.h"
#include "threads/worker_pool.h"

#include <lzf.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <string>

namespace {

struct FieldPlaces {
    std::vector<const unsigned char*> base;
    std::vector<size_t> step;
};

// Decodes points [begin, end) into their own places; a point with a non-finite position is
// marked by a NaN x, which no kept point can have, for the pass that closes the gaps.
// FloatXyz: x, y and z are 4-byte floats, loaded without the dispatch of valueOf.
template <bool FloatXyz>
PartFound decodePoints(const PcdLayout& layout, const PcdFields& fields, const FieldPlaces& places,
                       int64_t begin, int64_t end, const double shift[3], PointRecord* points) {
    const unsigned char* base[3];
    size_t step[3];
    for (int a = 0; a < 3; ++a) {
        base[a] = places.base[fields.position[a]];
        step[a] = places.step[fields.position[a]];
    }
    const int colourField = fields.colour >= 0 ? fields.colour : fields.intensity;
    const unsigned char* colourBase = colourField >= 0 ? places.base[colourField] : nullptr;
    const size_t colourStep = colourField >= 0 ? places.step[colourField] : 0;
    const PcdField* intensity = fields.intensity >= 0 ? &layout.fields[fields.intensity] : nullptr;
    const unsigned char* channelBase[3] = {nullptr, nullptr, nullptr};
    size_t channelStep[3] = {0, 0, 0};
    for (int c = 0; c < 3 && fields.channels(); ++c) {
        channelBase[c] = places.base[fields.channel[c]];
        channelStep[c] = places.step[fields.channel[c]];
    }
    PartFound found;
    for (int64_t i = begin; i < end; ++i) {
        const size_t at = static_cast<size_t>(i);
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = FloatXyz ? loadLittle<float>(base[a] + at * step[a])
                              : pcdValue(base[a] + at * step[a], layout.fields[fields.position[a]]);
        PointRecord& p = points[i];
        if (fields.colour >= 0) {
            // The packed word's bits, whatever the field's type says.
            unpackColour(loadLittle<uint32_t>(colourBase + at * colourStep), p);
        } else if (fields.channels()) {
            float* rgb[3] = {&p.r, &p.g, &p.b};
            for (int c = 0; c < 3; ++c)
                *rgb[c] = static_cast<float>(pcdValue(channelBase[c] + at * channelStep[c],
                                                      layout.fields[fields.channel[c]])) *
                          fields.channelScale[c];
        } else if (intensity) {
            p.r = p.g = p.b =
                static_cast<float>(pcdValue(colourBase + at * colourStep, *intensity));
        } else {
            p.r = p.g = p.b = 1.0f;
        }
        p.x = static_cast<float>(xyz[0] - shift[0]);
        p.y = static_cast<float>(xyz[1] - shift[1]);
        p.z = static_cast<float>(xyz[2] - shift[2]);
        if (!finitePosition(xyz)) {
            p.x = NAN;
            ++found.dropped;
        }
        found.box.add(p);
    }
    return found;
}

// Fills result.points (allocated for count) from the places, split over the threads: stored
// against the shift of the first point with a finite position, the others' gaps closed.
void decodeInPlace(const PcdLayout& layout, const PcdFields& fields, const FieldPlaces& places,
                   int64_t count, int threads, ReadResult& result) {
    bool floatXyz = true;
    for (int a = 0; a < 3; ++a) {
        const PcdField& field = layout.fields[fields.position[a]];
        floatXyz &= field.type == 'F' && field.size == 4;
    }
    double shift[3] = {0.0, 0.0, 0.0};
    for (int64_t i = 0; i < count; ++i) {
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = pcdValue(places.base[fields.position[a]] +
                                  static_cast<size_t>(i) * places.step[fields.position[a]],
                              layout.fields[fields.position[a]]);
        if (finitePosition(xyz)) {
            provisionalShift(xyz, shift);
            break;
        }
    }
    // The attributes first, one entry per point, so that closing the gaps of dropped points moves
    // them along.
    AttributeStaging staging(fields.intensity >= 0, fields.label >= 0);
    if (staging.any()) {
        staging.resize(static_cast<size_t>(count));
        auto value = [&](int field, size_t i) {
            return field < 0 ? 0.0
                             : pcdValue(places.base[field] + i * places.step[field],
                                        layout.fields[field]);
        };
        runInParts(count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
            for (size_t i = static_cast<size_t>(begin); i < static_cast<size_t>(end); ++i)
                staging.set(i, value(fields.intensity, i), value(fields.label, i));
        });
        staging.finish(static_cast<size_t>(count), result.attributes);
    }
    decodeInParts(result, count, threads, shift, [&](int64_t begin, int64_t end) {
        return floatXyz
                   ? decodePoints<true>(layout, fields, places, begin, end, shift, result.points)
                   : decodePoints<false>(layout, fields, places, begin, end, shift, result.points);
    });
}

} // namespace

void readPcdBinary(const ReadRequest& request, const PcdLayout& layout, const PcdFields& fields,
                   ReadResult& result) {
    const unsigned char* body = request.bytes + layout.bodyOffset;
    const size_t bodySize = request.size - layout.bodyOffset;
    // The points of a compressed block are all there once it decompresses.
    uint64_t count = layout.points;
    if (layout.data == PcdLayout::Data::Binary) {
        count = std::min<uint64_t>(count, bodySize / layout.pointBytes);
    } else if (bodySize < 8) {
        result = refusal("the compressed block is missing");
        return;
    } else if (layout.points > UINT32_MAX / layout.pointBytes ||
               loadLittle<uint32_t>(body + 4) != layout.points * layout.pointBytes) {
        result = refusal("the compressed block's sizes do not match the header");
        return;
    } else if (loadLittle<uint32_t>(body) > bodySize - 8) {
        // Each field of every point comes in turn: a block cut short holds no whole point.
        result = refusal("the file is cut short inside its compressed block (" +
                         std::to_string(bodySize - 8) + " of its " +
                         std::to_string(loadLittle<uint32_t>(body)) +
                         " bytes), which holds each field of every point in turn: no point is "
                         "whole");
        return;
    }
    if (!allocateRecords(request, static_cast<int64_t>(count), result))
        return;

    // Field f of point i lies at base[f] + i * step[f]: rows for binary, columns (every
    // point's value of a field, then the next field) after LZF.
    FieldPlaces places;
    std::unique_ptr<unsigned char[]> columns;
    if (layout.data == PcdLayout::Data::Binary) {
        for (const PcdField& field : layout.fields) {
            places.base.push_back(body + field.offset);
            places.step.push_back(layout.pointBytes);
        }
    } else {
        const uint32_t compressed = loadLittle<uint32_t>(body);
        const size_t needed = static_cast<size_t>(layout.points * layout.pointBytes);
        columns.reset(new (std::nothrow) unsigned char[needed ? needed : 1]);
        if (!columns) {
            releasePoints(result.points);
            result.points = nullptr;
            cannotAllocate(result, static_cast<int64_t>(layout.points), needed);
            return;
        }
        const unsigned got = needed ? lzf_decompress(body + 8, compressed, columns.get(),
                                                     static_cast<unsigned>(needed))
                                    : 0;
        if (got != needed) {
            releasePoints(result.points);
            result = refusal("the compressed block does not decompress");
            return;
        }
        size_t at = 0;
        for (const PcdField& field : layout.fields) {
            const size_t step = static_cast<size_t>(field.size) * field.count;
            places.base.push_back(columns.get() + at);
            places.step.push_back(step);
            at += layout.points * step;
        }
    }
    decodeInPlace(layout, fields, places, static_cast<int64_t>(count), request.threads, result);
    if (count < layout.points)
        result.message = "the file ends after " + std::to_string(count) + " points";
}
