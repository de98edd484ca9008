// io/pcd_reader.cpp - the PCD header, then the points: line by line for ascii; for binary
// (rows) and binary_compressed (columns after LZF) decoded in place, split over the threads.
#include "io/pcd_reader.h"

#include "io/byte_order.h"
#include "io/cloud_builder.h"
#include "io/shift.h"
#include "io/text_scan.h"

#include <lzf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

std::vector<std::string> words(const char* p, const char* end) {
    std::vector<std::string> out;
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        const char* start = p;
        while (p < end && *p != ' ' && *p != '\t')
            ++p;
        if (p > start)
            out.emplace_back(start, p);
    }
    return out;
}

double valueOf(const unsigned char* p, const PcdField& field) {
    switch (field.type) {
        case 'F':
            return field.size == 8 ? loadLittle<double>(p) : loadLittle<float>(p);
        case 'U':
            switch (field.size) {
                case 1:
                    return *p;
                case 2:
                    return loadLittle<uint16_t>(p);
                case 8:
                    return static_cast<double>(loadLittle<uint64_t>(p));
                default:
                    return loadLittle<uint32_t>(p);
            }
        default:
            switch (field.size) {
                case 1:
                    return static_cast<int8_t>(*p);
                case 2:
                    return loadLittle<int16_t>(p);
                case 8:
                    return static_cast<double>(loadLittle<int64_t>(p));
                default:
                    return loadLittle<int32_t>(p);
            }
    }
}

void unpack(uint32_t word, PointRecord& point) {
    point.r = static_cast<float>((word >> 16) & 0xFF) / 255.0f;
    point.g = static_cast<float>((word >> 8) & 0xFF) / 255.0f;
    point.b = static_cast<float>(word & 0xFF) / 255.0f;
}

struct Fields {
    int position[3] = {-1, -1, -1};
    int colour = -1; // rgb or rgba, packed
    int intensity = -1;
};

Fields findFields(const PcdLayout& layout) {
    Fields found;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        const std::string& name = layout.fields[i].name;
        const int index = static_cast<int>(i);
        if (name == "x")
            found.position[0] = index;
        else if (name == "y")
            found.position[1] = index;
        else if (name == "z")
            found.position[2] = index;
        else if ((name == "rgb" || name == "rgba") && layout.fields[i].size == 4)
            found.colour = index;
        else if (name == "intensity")
            found.intensity = index;
    }
    return found;
}

} // namespace

bool hasPcdSignature(const unsigned char* head, size_t size) {
    const char* p = reinterpret_cast<const char*>(head);
    const char* end = p + size;
    for (int line = 0; line < 4 && p < end; ++line) {
        const char* next = nextLine(p, end);
        const size_t length = static_cast<size_t>(next - p);
        auto starts = [&](const char* key) {
            const size_t n = std::strlen(key);
            return length >= n && std::memcmp(p, key, n) == 0;
        };
        if (starts("# .PCD") || starts("VERSION") || starts("FIELDS"))
            return true;
        if (*p != '#')
            return false;
        p = next;
    }
    return false;
}

bool parsePcdHeader(const unsigned char* bytes, size_t size, PcdLayout& layout,
                    std::string& reason) {
    const char* start = reinterpret_cast<const char*>(bytes);
    const char* p = start;
    const char* end = p + size;
    std::vector<int> sizes, counts;
    std::vector<char> types;
    bool pointsGiven = false;
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && !isLineEnd(*lineEnd))
            ++lineEnd;
        const std::vector<std::string> word = words(p, lineEnd);
        p = nextLine(p, end);
        if (word.empty() || word[0][0] == '#')
            continue;
        const std::string& key = word[0];
        if (key == "FIELDS" || key == "COLUMNS") {
            layout.fields.clear();
            for (size_t i = 1; i < word.size(); ++i) {
                PcdField field;
                field.name = word[i];
                layout.fields.push_back(field);
            }
        } else if (key == "SIZE") {
            for (size_t i = 1; i < word.size(); ++i)
                sizes.push_back(std::atoi(word[i].c_str()));
        } else if (key == "TYPE") {
            for (size_t i = 1; i < word.size(); ++i)
                types.push_back(word[i][0]);
        } else if (key == "COUNT") {
            for (size_t i = 1; i < word.size(); ++i)
                counts.push_back(std::atoi(word[i].c_str()));
        } else if (key == "WIDTH" && word.size() > 1) {
            layout.width = std::strtoull(word[1].c_str(), nullptr, 10);
        } else if (key == "HEIGHT" && word.size() > 1) {
            layout.height = std::strtoull(word[1].c_str(), nullptr, 10);
        } else if (key == "POINTS" && word.size() > 1) {
            layout.points = std::strtoull(word[1].c_str(), nullptr, 10);
            pointsGiven = true;
        } else if (key == "DATA") {
            const std::string kind = word.size() > 1 ? word[1] : "";
            if (kind == "ascii")
                layout.data = PcdLayout::Data::Ascii;
            else if (kind == "binary")
                layout.data = PcdLayout::Data::Binary;
            else if (kind == "binary_compressed")
                layout.data = PcdLayout::Data::Compressed;
            else {
                reason = "DATA '" + kind + "' is not one this program reads";
                return false;
            }
            layout.bodyOffset = static_cast<size_t>(p - start);
            break;
        }
        // VERSION and VIEWPOINT say nothing the points need.
    }
    if (layout.bodyOffset == 0) {
        reason = "the header has no DATA line";
        return false;
    }
    if (layout.fields.empty()) {
        reason = "the header has no FIELDS line";
        return false;
    }
    if (!pointsGiven)
        layout.points = layout.width * layout.height;
    size_t offset = 0;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        PcdField& field = layout.fields[i];
        field.size = i < sizes.size() ? sizes[i] : 4;
        field.type = i < types.size() ? types[i] : 'F';
        field.count = i < counts.size() ? counts[i] : 1;
        const bool sizeOk =
            field.size == 1 || field.size == 2 || field.size == 4 || (field.size == 8);
        if (!sizeOk || (field.type == 'F' && field.size < 4) ||
            (field.type != 'F' && field.type != 'I' && field.type != 'U') || field.count < 1 ||
            field.count > 100000) {
            reason = "field " + field.name + " has an unusable SIZE, TYPE or COUNT";
            return false;
        }
        field.offset = offset;
        offset += static_cast<size_t>(field.size) * static_cast<size_t>(field.count);
    }
    layout.pointBytes = offset;
    return true;
}

namespace {

// --- Ascii body ---

// The ascii lines' layout: a field with COUNT n spans n values, its first is what counts.
struct AsciiLayout {
    const PcdLayout* layout;
    const Fields* fields;
    std::vector<size_t> first; // of each field, among a line's values
    size_t perPoint = 0;
};

enum class AsciiLine { Point, Blank, Bad };

// The line at p (which moves to the next line): a point's values, a blank line, or neither.
AsciiLine readAsciiLine(const char*& p, const char* end, const AsciiLayout& ascii, double* values) {
    bool clean;
    const char* lineStart = p;
    const int got = scanLine(p, end, values, static_cast<int>(ascii.perPoint), &clean);
    p = nextLine(p, end);
    if (got == 0 && clean && skipSeparators(lineStart, end) == p)
        return AsciiLine::Blank;
    if (got < static_cast<int>(ascii.perPoint)) {
        p = lineStart;
        return AsciiLine::Bad;
    }
    return AsciiLine::Point;
}

// The points of the lines [p, end), at most `most`, into out against the shift.
LineBlock readAsciiBlock(const char* p, const char* end, int64_t most, const AsciiLayout& ascii,
                         const double shift[3], PointRecord* out) {
    const Fields& fields = *ascii.fields;
    const PcdLayout& layout = *ascii.layout;
    LineBlock read;
    std::vector<double> values(ascii.perPoint);
    while (read.kept + read.dropped < most && p < end) {
        const AsciiLine line = readAsciiLine(p, end, ascii, values.data());
        if (line == AsciiLine::Blank)
            continue;
        if (line == AsciiLine::Bad) {
            read.bad = p;
            break;
        }
        PointRecord point{0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
        if (fields.colour >= 0) {
            // A packed colour written as a float keeps its bits through the decimal text.
            const double value = values[ascii.first[fields.colour]];
            uint32_t word;
            if (layout.fields[fields.colour].type == 'F') {
                const float packed = static_cast<float>(value);
                std::memcpy(&word, &packed, sizeof word);
            } else {
                word = value >= 0.0 && value < 4294967296.0 ? static_cast<uint32_t>(value) : 0;
            }
            unpack(word, point);
        } else if (fields.intensity >= 0) {
            point.r = point.g = point.b = static_cast<float>(values[ascii.first[fields.intensity]]);
        }
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = values[ascii.first[fields.position[a]]];
        read.keep(xyz, shift, point, out);
    }
    return read;
}

// Line by line, in blocks over the threads; blank lines are passed over.
void readAscii(const ReadRequest& request, const PcdLayout& layout, const Fields& fields,
               ReadResult& result) {
    const char* p = reinterpret_cast<const char*>(request.bytes + layout.bodyOffset);
    const char* end = reinterpret_cast<const char*>(request.bytes + request.size);
    AsciiLayout ascii{&layout, &fields, std::vector<size_t>(layout.fields.size()), 0};
    for (size_t f = 0; f < layout.fields.size(); ++f) {
        ascii.first[f] = ascii.perPoint;
        ascii.perPoint += layout.fields[f].count;
    }
    const int64_t most = static_cast<int64_t>(std::min<uint64_t>(layout.points, INT64_MAX));
    // The shift is the first finite position's, as if the points were added one by one.
    double shift[3] = {0.0, 0.0, 0.0};
    std::vector<double> values(ascii.perPoint);
    for (const char* q = p; q < end;) {
        const AsciiLine line = readAsciiLine(q, end, ascii, values.data());
        if (line == AsciiLine::Bad)
            break;
        double xyz[3];
        for (int a = 0; a < 3 && line == AsciiLine::Point; ++a)
            xyz[a] = values[ascii.first[fields.position[a]]];
        if (line == AsciiLine::Point && std::isfinite(xyz[0]) && std::isfinite(xyz[1]) &&
            std::isfinite(xyz[2])) {
            provisionalShift(xyz, shift);
            break;
        }
    }
    LineBlock joined;
    if (!readLineBlocks(
            p, end, most, request.threads, false, request.headerAccepted,
            [&](const char* from, const char* to, int64_t limit, PointRecord* out) {
                return readAsciiBlock(from, to, limit, ascii, shift, out);
            },
            result, joined))
        return;
    const int64_t read = result.count + result.dropped;
    if (read < most)
        result.message = "point " + std::to_string(read + 1) + " is missing or malformed";
    settleShiftOverBox(result, shift, joined.box, request.threads);
}

// --- Binary and compressed bodies ---

struct FieldPlaces {
    std::vector<const unsigned char*> base;
    std::vector<size_t> step;
};

// Decodes points [begin, end) into their own places; a point with a non-finite position is
// marked by a NaN x, which no kept point can have, for the pass that closes the gaps.
// FloatXyz: x, y and z are 4-byte floats, loaded without the dispatch of valueOf.
template <bool FloatXyz>
PartFound decodePoints(const PcdLayout& layout, const Fields& fields, const FieldPlaces& places,
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
    PartFound found;
    for (int64_t i = begin; i < end; ++i) {
        const size_t at = static_cast<size_t>(i);
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = FloatXyz ? loadLittle<float>(base[a] + at * step[a])
                              : valueOf(base[a] + at * step[a], layout.fields[fields.position[a]]);
        PointRecord& p = points[i];
        if (fields.colour >= 0) {
            // The packed word's bits, whatever the field's type says.
            unpack(loadLittle<uint32_t>(colourBase + at * colourStep), p);
        } else if (intensity) {
            p.r = p.g = p.b = static_cast<float>(valueOf(colourBase + at * colourStep, *intensity));
        } else {
            p.r = p.g = p.b = 1.0f;
        }
        p.x = static_cast<float>(xyz[0] - shift[0]);
        p.y = static_cast<float>(xyz[1] - shift[1]);
        p.z = static_cast<float>(xyz[2] - shift[2]);
        if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2])) {
            p.x = NAN;
            ++found.dropped;
        }
        found.box.add(p);
    }
    return found;
}

// Fills result.points (allocated for count) from the places, split over the threads: stored
// against the shift of the first point with a finite position, the others' gaps closed.
void decodeInPlace(const PcdLayout& layout, const Fields& fields, const FieldPlaces& places,
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
            xyz[a] = valueOf(places.base[fields.position[a]] +
                                 static_cast<size_t>(i) * places.step[fields.position[a]],
                             layout.fields[fields.position[a]]);
        if (std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2])) {
            provisionalShift(xyz, shift);
            break;
        }
    }
    decodeInParts(result, count, threads, shift, [&](int64_t begin, int64_t end) {
        return floatXyz
                   ? decodePoints<true>(layout, fields, places, begin, end, shift, result.points)
                   : decodePoints<false>(layout, fields, places, begin, end, shift, result.points);
    });
}

} // namespace

ReadResult readPcd(const ReadRequest& request) {
    ReadResult result;
    PcdLayout layout;
    std::string reason;
    if (!parsePcdHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    const Fields fields = findFields(layout);
    if (fields.position[0] < 0 || fields.position[1] < 0 || fields.position[2] < 0)
        return refusal("the fields hold no x, y and z");
    static const char* kData[] = {"ascii", "binary", "binary_compressed"};
    result.format = std::string("PCD ") + kData[static_cast<int>(layout.data)];
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.points, INT64_MAX));
    result.colour = fields.colour >= 0      ? ColourKind::Rgb
                    : fields.intensity >= 0 ? ColourKind::Intensity
                                            : ColourKind::None;

    const unsigned char* body = request.bytes + layout.bodyOffset;
    const size_t bodySize = request.size - layout.bodyOffset;
    if (layout.data == PcdLayout::Data::Ascii) {
        readAscii(request, layout, fields, result);
        return result;
    }
    // The points of a compressed block are all there once it decompresses.
    uint64_t count = layout.points;
    if (layout.data == PcdLayout::Data::Binary) {
        count = std::min<uint64_t>(count, bodySize / layout.pointBytes);
    } else if (bodySize < 8) {
        return refusal("the compressed block is missing");
    } else if (layout.points > UINT32_MAX / layout.pointBytes ||
               loadLittle<uint32_t>(body) > bodySize - 8 ||
               loadLittle<uint32_t>(body + 4) != layout.points * layout.pointBytes) {
        return refusal("the compressed block's sizes do not match the header");
    }
    result.points = allocatePoints(static_cast<int64_t>(count));
    if (!result.points) {
        result.status = ReadStatus::CannotAllocate;
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();

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
            result.status = ReadStatus::CannotAllocate;
            return result;
        }
        const unsigned got = needed ? lzf_decompress(body + 8, compressed, columns.get(),
                                                     static_cast<unsigned>(needed))
                                    : 0;
        if (got != needed) {
            releasePoints(result.points);
            result.points = nullptr;
            return refusal("the compressed block does not decompress");
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
    return result;
}
