// io/text_columns_reader.cpp - the separator and columns from the first lines, then one scan
// per line.
#include "io/text_columns_reader.h"

#include "io/cloud_builder.h"
#include "io/text_scan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include <pthread.h>

namespace {

constexpr int kMostColumns = 64;

// Which columns hold what; -1 when absent.
struct Columns {
    int x = 0, y = 1, z = 2;
    int intensity = -1;
    int rgb[3] = {-1, -1, -1};
    int needed = 3; // the columns a record must have
};

bool isComment(const char* p, const char* end) {
    p = skipSeparators(p, end);
    return p < end && (*p == '#' || (*p == '/' && p + 1 < end && p[1] == '/'));
}

bool isBlankLine(const char* p, const char* end) {
    p = skipSeparators(p, end);
    return p == end || isLineEnd(*p);
}

// The start of the first line from p that is neither blank nor a comment.
const char* skipToRecord(const char* p, const char* end) {
    while (p < end && (isBlankLine(p, end) || isComment(p, end)))
        p = nextLine(p, end);
    return p;
}

char separatorOf(const char* p, const char* end) {
    for (; p < end && !isLineEnd(*p); ++p)
        if (*p == ',' || *p == ';')
            return *p;
    return ' ';
}

Columns byCount(int count) {
    Columns columns;
    if (count == 4 || count >= 7)
        columns.intensity = 3;
    if (count == 6)
        columns.rgb[0] = 3, columns.rgb[1] = 4, columns.rgb[2] = 5;
    if (count >= 7)
        columns.rgb[0] = 4, columns.rgb[1] = 5, columns.rgb[2] = 6;
    columns.needed = std::min(count, 7);
    return columns;
}

// The names of a header line, lower case; false when the line holds something else.
bool byNames(const char* p, const char* end, char separator, Columns& columns) {
    std::vector<std::string> names;
    while (p < end && !isLineEnd(*p)) {
        p = skipSeparators(p, end, separator);
        const char* start = p;
        while (p < end && !isLineEnd(*p) && *p != separator && *p != ' ' && *p != '\t')
            ++p;
        if (p > start) {
            std::string name(start, p);
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            // Quotes around names are common in CSV exports.
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            names.push_back(name);
        }
    }
    Columns found;
    found.x = found.y = found.z = -1;
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        const std::string& n = names[i];
        if (n == "x" || n == "//x")
            found.x = i;
        else if (n == "y")
            found.y = i;
        else if (n == "z")
            found.z = i;
        else if (n == "r" || n == "red")
            found.rgb[0] = i;
        else if (n == "g" || n == "green")
            found.rgb[1] = i;
        else if (n == "b" || n == "blue")
            found.rgb[2] = i;
        else if (n == "i" || n == "intensity")
            found.intensity = i;
    }
    if (found.x < 0 || found.y < 0 || found.z < 0)
        return false;
    if (found.rgb[0] < 0 || found.rgb[1] < 0 || found.rgb[2] < 0)
        std::fill(found.rgb, found.rgb + 3, -1);
    found.needed = 1 + std::max({found.x, found.y, found.z, found.intensity, found.rgb[0],
                                 found.rgb[1], found.rgb[2]});
    columns = found;
    return true;
}

// What one run over records found: the largest colour value, and where it stopped early.
struct RecordsRead {
    float colourMax = 0.0f;
    bool stopped = false; // at a line that is not a record
    int64_t badLine = 0;  // counted from the run's first line
    bool outOfMemory = false;
};

// Reads the records of [p, end), at most `most`, into the builder, colours raw.
RecordsRead readRecords(const char* p, const char* end, const Columns& columns, char separator,
                        int64_t most, CloudBuilder& builder) {
    RecordsRead read;
    double values[kMostColumns];
    int64_t line = 0;
    while (p < end && builder.count() + builder.dropped() < most) {
        if (isBlankLine(p, end) || isComment(p, end)) {
            p = nextLine(p, end);
            ++line;
            continue;
        }
        bool clean;
        const int got = scanLine(p, end, values, kMostColumns, &clean, separator);
        if (got < columns.needed) {
            read.stopped = true;
            read.badLine = line;
            return read;
        }
        float r = 1.0f, g = 1.0f, b = 1.0f;
        if (columns.rgb[0] >= 0) {
            r = static_cast<float>(values[columns.rgb[0]]);
            g = static_cast<float>(values[columns.rgb[1]]);
            b = static_cast<float>(values[columns.rgb[2]]);
            read.colourMax = std::max({read.colourMax, r, g, b});
        } else if (columns.intensity >= 0) {
            r = g = b = static_cast<float>(values[columns.intensity]);
        }
        if (!builder.add(values[columns.x], values[columns.y], values[columns.z], r, g, b)) {
            read.outOfMemory = true;
            return read;
        }
        p = nextLine(p, end);
        ++line;
    }
    return read;
}

// Files at least this large are read in two halves, split at a line end, on two threads.
constexpr size_t kSplitBytes = size_t(8) << 20;

struct HalfRun {
    const char* begin;
    const char* end;
    const Columns* columns;
    char separator;
    CloudBuilder* builder;
    RecordsRead read;
};

void* readHalf(void* argument) {
    HalfRun* half = static_cast<HalfRun*>(argument);
    half->read = readRecords(half->begin, half->end, *half->columns, half->separator, INT64_MAX,
                             *half->builder);
    return nullptr;
}

int64_t linesIn(const char* p, const char* end) {
    return std::count(p, end, '\n');
}

// Reads every record from p on into result, the colour scale decided once for the file and a
// stop at the first line that is not a record. firstLine numbers p's line in messages.
void readAllRecords(const ReadRequest& request, const char* p, const char* end,
                    const Columns& columns, char separator, int64_t most, int64_t firstLine,
                    ReadResult& result) {
    CloudBuilder first, second;
    // Both halves store against the shift of the file's first point.
    RecordsRead head = readRecords(p, end, columns, separator, 1, first);
    const char* rest = p;
    if (first.count() + first.dropped() == 1)
        rest = nextLine(skipToRecord(p, end), end);
    // The halves can be joined only when both store against the first point's shift.
    const bool split = request.threads >= 2 && most == INT64_MAX && first.count() == 1 &&
                       static_cast<size_t>(end - rest) >= kSplitBytes;
    if (split)
        second.useShiftOf(first);
    RecordsRead a, b;
    if (head.stopped) {
        // The first record is already bad: nothing more is read.
    } else if (!split) {
        a = readRecords(rest, end, columns, separator, most, first);
    } else {
        const char* middle = nextLine(rest + (end - rest) / 2, end);
        HalfRun later{middle, end, &columns, separator, &second, {}};
        pthread_t thread;
        const bool threaded = pthread_create(&thread, nullptr, readHalf, &later) == 0;
        a = readRecords(rest, middle, columns, separator, INT64_MAX, first);
        if (threaded)
            pthread_join(thread, nullptr);
        else
            readHalf(&later);
        b = later.read;
        if (!a.stopped && !a.outOfMemory && !first.append(second))
            a.outOfMemory = true;
        if (!a.stopped && b.stopped) {
            a.stopped = true;
            a.badLine = linesIn(rest, middle) + b.badLine;
        }
        a.colourMax = std::max(a.colourMax, b.colourMax);
        a.outOfMemory |= b.outOfMemory;
    }
    if (a.outOfMemory || head.outOfMemory) {
        result.status = ReadStatus::CannotAllocate;
        return;
    }
    if (head.stopped) {
        a = head;
    } else if (a.stopped) {
        a.badLine += linesIn(p, rest);
    }
    a.colourMax = std::max(a.colourMax, head.colourMax);
    if (a.stopped)
        result.message =
            "line " + std::to_string(firstLine + a.badLine) + " is not a complete record";
    // 0..255 integers or 0..1 fractions: one decision for the whole file.
    if (columns.rgb[0] >= 0 && a.colourMax > 1.0f) {
        PointRecord* points = first.points();
        for (int64_t i = 0; i < first.count(); ++i) {
            points[i].r /= 255.0f;
            points[i].g /= 255.0f;
            points[i].b /= 255.0f;
        }
    }
    result.colour = columns.rgb[0] >= 0      ? ColourKind::Rgb
                    : columns.intensity >= 0 ? ColourKind::Intensity
                                             : ColourKind::None;
    first.finish(result);
}

const char* textOf(const ReadRequest& request) {
    return reinterpret_cast<const char*>(request.bytes);
}

} // namespace

bool resemblesColumnText(const unsigned char* head, size_t size) {
    const char* p = reinterpret_cast<const char*>(head);
    const char* end = p + size;
    int records = 0, lines = 0;
    while (p < end && lines < 4) {
        const char* next = nextLine(p, end);
        if (next == end && end == reinterpret_cast<const char*>(head) + size && records > 0)
            break; // a line cut by the end of the head says nothing
        if (!isBlankLine(p, end) && !isComment(p, end)) {
            double values[8];
            bool clean;
            const char* q = p;
            const int got = scanLine(q, end, values, 8, &clean, separatorOf(p, end));
            if (got >= 3 && clean)
                ++records;
            else if (lines > 0 || got > 0)
                return false;
            ++lines;
        }
        p = next;
    }
    return records > 0;
}

ReadResult readColumnText(const ReadRequest& request) {
    ReadResult result;
    const char* p = textOf(request);
    const char* end = p + request.size;
    int64_t line = 1;
    while (p < end && (isBlankLine(p, end) || isComment(p, end)))
        p = nextLine(p, end), ++line;
    const char separator = separatorOf(p, end);
    Columns columns;
    double values[kMostColumns];
    bool clean;
    const char* q = p;
    const int count = scanLine(q, end, values, kMostColumns, &clean, separator);
    result.format = std::string("column text, ") +
                    (separator == ','   ? "comma"
                     : separator == ';' ? "semicolon"
                                        : "blank") +
                    " separated";
    if (count >= 3 && clean) {
        columns = byCount(count);
    } else if (byNames(p, end, separator, columns)) {
        p = nextLine(p, end), ++line;
        result.format += ", with a header line";
    } else if (p < end) {
        result.status = ReadStatus::Refused;
        result.message = std::string(request.path) + ": column text, line " + std::to_string(line) +
                         " holds neither three numbers nor x y z names";
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    readAllRecords(request, p, end, columns, separator, INT64_MAX, line, result);
    return result;
}

ReadResult readPts(const ReadRequest& request) {
    ReadResult result;
    result.format = "PTS";
    const char* p = textOf(request);
    const char* end = p + request.size;
    p = skipSeparators(p, end);
    double declared = -1.0;
    const char* q = p;
    if (!scanNumber(q, end, declared) || !(declared >= 0 && declared < 9e18) ||
        declared != std::floor(declared) || !isBlankLine(q, end)) {
        result.status = ReadStatus::Refused;
        result.message = std::string(request.path) + ": PTS file, the first line is not a count";
        return result;
    }
    result.expected = static_cast<int64_t>(declared);
    p = nextLine(q, end);
    // The columns of the first record decide: x y z intensity, with r g b after when seven.
    double values[kMostColumns];
    bool clean;
    const char* first = p;
    while (first < end && isBlankLine(first, end))
        first = nextLine(first, end);
    const char* probe = first;
    const int count = scanLine(probe, end, values, kMostColumns, &clean);
    Columns columns = byCount(count >= 7 ? 7 : count >= 4 ? 4 : 3);
    if (count == 6) // x y z r g b without intensity
        columns = byCount(6);
    if (request.headerAccepted)
        request.headerAccepted();
    readAllRecords(request, p, end, columns, ' ', result.expected, 2, result);
    return result;
}
