// io/pcd_reader.cpp - the PCD header, then the points: row by row for ascii and binary, field
// by field after LZF for binary_compressed.
#include "io/pcd_reader.h"

#include "io/byte_order.h"
#include "io/cloud_builder.h"
#include "io/text_scan.h"

#include <lzf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

ReadResult readPcd(const ReadRequest& request) {
    ReadResult result;
    PcdLayout layout;
    std::string reason;
    auto refuse = [&](const std::string& why) {
        result.status = ReadStatus::Refused;
        result.message = std::string(request.path) + ": PCD file, " + why;
        return result;
    };
    if (!parsePcdHeader(request.bytes, request.size, layout, reason))
        return refuse(reason);
    const Fields fields = findFields(layout);
    if (fields.position[0] < 0 || fields.position[1] < 0 || fields.position[2] < 0)
        return refuse("the fields hold no x, y and z");
    static const char* kData[] = {"ascii", "binary", "binary_compressed"};
    result.format = std::string("PCD ") + kData[static_cast<int>(layout.data)];
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.points, INT64_MAX));
    result.colour = fields.colour >= 0      ? ColourKind::Rgb
                    : fields.intensity >= 0 ? ColourKind::Intensity
                                            : ColourKind::None;

    const unsigned char* body = request.bytes + layout.bodyOffset;
    const size_t bodySize = request.size - layout.bodyOffset;
    CloudBuilder builder;
    const uint64_t room = layout.data == PcdLayout::Data::Ascii
                              ? bodySize / 6 + 1
                              : (layout.pointBytes ? bodySize / layout.pointBytes + 1 : 1);
    if (!builder.reserve(static_cast<int64_t>(std::min<uint64_t>(
            layout.points, layout.data == PcdLayout::Data::Compressed
                               ? UINT32_MAX / std::max<size_t>(layout.pointBytes, 1)
                               : room)))) {
        result.status = ReadStatus::CannotAllocate;
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();

    // Adds the point whose fields are found through `at`: at(field) gives its first value.
    auto addPoint = [&](auto at) {
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = at(fields.position[a]);
        PointRecord colour{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
        if (fields.colour >= 0) {
            const double value = at(fields.colour);
            uint32_t word;
            if (layout.fields[fields.colour].type == 'F') {
                const float packed = static_cast<float>(value);
                std::memcpy(&word, &packed, sizeof word);
            } else {
                word = value >= 0.0 && value < 4294967296.0 ? static_cast<uint32_t>(value) : 0;
            }
            unpack(word, colour);
        } else if (fields.intensity >= 0) {
            colour.r = colour.g = colour.b = static_cast<float>(at(fields.intensity));
        }
        return builder.add(xyz[0], xyz[1], xyz[2], colour.r, colour.g, colour.b);
    };
    // A packed colour read as a float value loses nothing: the float keeps its bits.
    uint64_t read = 0;
    bool ok = true;
    if (layout.data == PcdLayout::Data::Binary) {
        const uint64_t available = layout.pointBytes ? bodySize / layout.pointBytes : 0;
        const uint64_t count = std::min<uint64_t>(layout.points, available);
        for (; read < count && ok; ++read) {
            const unsigned char* point = body + read * layout.pointBytes;
            ok = addPoint([&](int f) {
                const PcdField& field = layout.fields[f];
                if (f == fields.colour && field.type == 'F') {
                    float packed;
                    std::memcpy(&packed, point + field.offset, sizeof packed);
                    return static_cast<double>(packed);
                }
                return valueOf(point + field.offset, field);
            });
        }
    } else if (layout.data == PcdLayout::Data::Compressed) {
        if (bodySize < 8)
            return refuse("the compressed block is missing");
        const uint32_t compressed = loadLittle<uint32_t>(body);
        const uint32_t uncompressed = loadLittle<uint32_t>(body + 4);
        const uint64_t needed = layout.points * layout.pointBytes;
        if (layout.pointBytes == 0 || layout.points > UINT32_MAX / layout.pointBytes ||
            compressed > bodySize - 8 || uncompressed != needed)
            return refuse("the compressed block's sizes do not match the header");
        unsigned char* columns = new (std::nothrow) unsigned char[needed ? needed : 1];
        if (!columns) {
            result.status = ReadStatus::CannotAllocate;
            return result;
        }
        const unsigned got =
            needed ? lzf_decompress(body + 8, compressed, columns, static_cast<unsigned>(needed))
                   : 0;
        if (got != needed) {
            delete[] columns;
            return refuse("the compressed block does not decompress");
        }
        // Column-wise: every point's value of a field, then the next field.
        std::vector<size_t> fieldStart(layout.fields.size());
        size_t at = 0;
        for (size_t f = 0; f < layout.fields.size(); ++f) {
            fieldStart[f] = at;
            at += layout.points * layout.fields[f].size * layout.fields[f].count;
        }
        for (; read < layout.points && ok; ++read) {
            ok = addPoint([&](int f) {
                const PcdField& field = layout.fields[f];
                const unsigned char* value =
                    columns + fieldStart[f] + read * field.size * field.count;
                if (f == fields.colour && field.type == 'F') {
                    float packed;
                    std::memcpy(&packed, value, sizeof packed);
                    return static_cast<double>(packed);
                }
                return valueOf(value, field);
            });
        }
        delete[] columns;
    } else {
        const char* p = reinterpret_cast<const char*>(body);
        const char* end = reinterpret_cast<const char*>(request.bytes + request.size);
        // Values per point: a field with COUNT n spans n of them; its first is what counts.
        std::vector<size_t> first(layout.fields.size());
        size_t perPoint = 0;
        for (size_t f = 0; f < layout.fields.size(); ++f) {
            first[f] = perPoint;
            perPoint += layout.fields[f].count;
        }
        std::vector<double> values(perPoint);
        for (; read < layout.points && ok && p < end;) {
            bool clean;
            const char* lineStart = p;
            const int got = scanLine(p, end, values.data(), static_cast<int>(perPoint), &clean);
            p = nextLine(p, end);
            if (got == 0 && clean && skipSeparators(lineStart, end) == p)
                continue; // a blank line
            if (got < static_cast<int>(perPoint))
                break;
            ok = addPoint([&](int f) { return values[first[f]]; });
            ++read;
        }
    }
    if (!ok) {
        result.status = ReadStatus::CannotAllocate;
        return result;
    }
    builder.finish(result);
    if (read < layout.points)
        result.message = layout.data == PcdLayout::Data::Ascii
                             ? "point " + std::to_string(read + 1) + " is missing or malformed"
                             : "the file ends after " + std::to_string(read) + " points";
    return result;
}
