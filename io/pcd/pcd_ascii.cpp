// io/pcd/pcd_ascii.cpp - ascii PCD bodies: one point a line, read in blocks of lines over the
// threads.
#include "io/pcd/pcd_layout.h"

#include "io/line_blocks.h"
#include "io/shift.h"
#include "io/text_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The ascii lines' layout: a field with COUNT n spans n values, its first is what counts.
struct AsciiLayout {
    const PcdLayout* layout;
    const PcdFields* fields;
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

// The points of the lines [p, end), at most `most`, into out (slot `slot` of the records)
// against the shift, their attributes into staging.
LineBlock readAsciiBlock(const char* p, const char* end, int64_t most, const AsciiLayout& ascii,
                         const double shift[3], PointRecord* out, int64_t slot,
                         AttributeStaging* staging) {
    const PcdFields& fields = *ascii.fields;
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
            unpackColour(word, point);
        } else if (fields.channels()) {
            float* rgb[3] = {&point.r, &point.g, &point.b};
            for (int c = 0; c < 3; ++c)
                *rgb[c] = static_cast<float>(values[ascii.first[fields.channel[c]]]) *
                          fields.channelScale[c];
        } else if (fields.intensity >= 0) {
            point.r = point.g = point.b = static_cast<float>(values[ascii.first[fields.intensity]]);
        }
        double xyz[3];
        for (int a = 0; a < 3; ++a)
            xyz[a] = values[ascii.first[fields.position[a]]];
        if (read.keep(xyz, shift, point, out) && staging)
            staging->set(static_cast<size_t>(slot + read.kept - 1),
                         fields.intensity >= 0 ? values[ascii.first[fields.intensity]] : 0.0,
                         fields.label >= 0 ? values[ascii.first[fields.label]] : 0.0);
    }
    return read;
}

} // namespace

void readPcdAscii(const ReadRequest& request, const PcdLayout& layout, const PcdFields& fields,
                  ReadResult& result) {
    const char* p = reinterpret_cast<const char*>(request.bytes + layout.bodyOffset);
    const char* end = reinterpret_cast<const char*>(request.bytes + request.size);
    AsciiLayout ascii{&layout, &fields, std::vector<size_t>(layout.fields.size()), 0};
    for (size_t f = 0; f < layout.fields.size(); ++f) {
        ascii.first[f] = ascii.perPoint;
        ascii.perPoint += layout.fields[f].count;
    }
    const int64_t most = static_cast<int64_t>(std::min<uint64_t>(layout.points, INT64_MAX));
    std::vector<double> values(ascii.perPoint);
    TextBody body;
    body.look = [&](const char*& q, const char* end, double xyz[3]) {
        switch (readAsciiLine(q, end, ascii, values.data())) {
            case AsciiLine::Point:
                for (int a = 0; a < 3; ++a)
                    xyz[a] = values[ascii.first[fields.position[a]]];
                return LineKind::Record;
            case AsciiLine::Blank:
                return LineKind::Skipped;
            default:
                return LineKind::Bad;
        }
    };
    AttributeStaging staging(fields.intensity >= 0, fields.label >= 0);
    body.attributes = staging.any() ? &staging : nullptr;
    body.block = [&](const char* from, const char* to, int64_t limit, const double shift[3],
                     PointRecord* out, int64_t slot) {
        return readAsciiBlock(from, to, limit, ascii, shift, out, slot, body.attributes);
    };
    body.missing = "point";
    LineBlock joined;
    readTextBody(request, p, end, most, false, body, result, joined);
}
