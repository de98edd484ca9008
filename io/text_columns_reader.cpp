// io/text_columns_reader.cpp - the separator and columns from the first lines, then the lines
// in blocks over the threads, each record scanned straight into its place.
#include "io/text_columns_reader.h"

#include "io/line_blocks.h"
#include "io/shift.h"
#include "io/text_scan.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMostColumns = 64;

// Which columns hold what; -1 when absent.
struct Columns {
    int x = 0, y = 1, z = 2;
    int intensity = -1;
    int classification = -1;
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

// Whether the record lines from p on all end in the same text, as an alpha column does (255 on
// every line) and a blue one hardly can; at least two lines are needed to tell. A last line
// without its line end may be cut short and is not looked at. Compared as text: one pass of
// byte scanning, no numbers.
bool lastColumnConstant(const char* p, const char* end, char separator) {
    auto isGap = [separator](char c) { return c == ' ' || c == '\t' || c == separator; };
    const char* first = nullptr;
    size_t firstLength = 0;
    int64_t lines = 0;
    while (p < end) {
        const char* next = nextLine(p, end);
        if (next == end && !isLineEnd(end[-1]))
            break;
        if (!isBlankLine(p, end) && !isComment(p, end)) {
            const char* last = next;
            while (last > p && (isLineEnd(last[-1]) || isGap(last[-1])))
                --last;
            const char* start = last;
            while (start > p && !isGap(start[-1]))
                --start;
            const size_t length = static_cast<size_t>(last - start);
            if (!first) {
                first = start;
                firstLength = length;
            } else if (length != firstLength || std::memcmp(start, first, length) != 0) {
                return false;
            }
            ++lines;
        }
        p = next;
    }
    return lines >= 2;
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
        else if (n == "i" || n == "intensity" || n == "scalar_intensity")
            found.intensity = i;
        else if (n == "classification" || n == "class" || n == "scalar_classification")
            found.classification = i;
    }
    if (found.x < 0 || found.y < 0 || found.z < 0)
        return false;
    if (found.rgb[0] < 0 || found.rgb[1] < 0 || found.rgb[2] < 0)
        std::fill(found.rgb, found.rgb + 3, -1);
    found.needed = 1 + std::max({found.x, found.y, found.z, found.intensity, found.classification,
                                 found.rgb[0], found.rgb[1], found.rgb[2]});
    columns = found;
    return true;
}

// --- Records ---

const char* textOf(const ReadRequest& request) {
    return reinterpret_cast<const char*>(request.bytes);
}

enum class Line { Record, Skipped, Bad };

// The line at p: a record (its first `needed` values read), a blank or comment line, or a line
// that is neither. p moves to the next line, except from a bad line, where it stays.
inline Line readLine(const char*& p, const char* end, const Columns& columns, char separator,
                     double* values) {
    // Blank and comment lines are told by blanks alone, not the separator.
    const char* q = skipSeparators(p, end);
    if (q == end || isLineEnd(*q) || *q == '#' || (*q == '/' && q + 1 < end && q[1] == '/')) {
        p = nextLine(q, end);
        return Line::Skipped;
    }
    if (columns.needed > kMostColumns)
        return Line::Bad;
    for (int got = 0; got < columns.needed; ++got) {
        q = skipSeparators(q, end, separator);
        if (q == end || isLineEnd(*q) || !scanNumber(q, end, values[got], separator))
            return Line::Bad;
    }
    // Columns past the ones needed are not read.
    p = nextLine(q, end);
    return Line::Record;
}

// Stores one record's values into the block (slot `slot` of the records), its attributes into
// staging; false once the block holds `most` records.
inline bool storeRecord(const double* values, const Columns& columns, const double shift[3],
                        bool divide, int64_t most, PointRecord* out, int64_t slot,
                        AttributeStaging* staging, LineBlock& read) {
    float r = 1.0f, g = 1.0f, b = 1.0f;
    if (columns.rgb[0] >= 0) {
        r = static_cast<float>(values[columns.rgb[0]]);
        g = static_cast<float>(values[columns.rgb[1]]);
        b = static_cast<float>(values[columns.rgb[2]]);
        read.colourMax = std::max({read.colourMax, r, g, b});
        if (divide)
            r /= 255.0f, g /= 255.0f, b /= 255.0f;
    } else if (columns.intensity >= 0) {
        r = g = b = static_cast<float>(values[columns.intensity]);
    }
    const double xyz[3] = {values[columns.x], values[columns.y], values[columns.z]};
    if (read.keep(xyz, shift, PointRecord{0.0f, 0.0f, 0.0f, r, g, b}, out) && staging)
        staging->set(static_cast<size_t>(slot + read.kept - 1),
                     columns.intensity >= 0 ? values[columns.intensity] : 0.0,
                     columns.classification >= 0 ? values[columns.classification] : 0.0);
    return read.kept + read.dropped < most;
}

// Reads the records of [p, end), at most `most` of them (dropped ones included), into out:
// float(file - shift), colours divided by 255 when divide is set, else raw. p is a line start.
LineBlock readBlock(const char* p, const char* end, const Columns& columns, char separator,
                    int64_t most, const double shift[3], bool divide, PointRecord* out,
                    int64_t slot, AttributeStaging* staging) {
    LineBlock read;
    double values[kMostColumns];
    while (p < end && read.kept + read.dropped < most) {
        const Line kind = readLine(p, end, columns, separator, values);
        if (kind == Line::Skipped)
            continue;
        if (kind == Line::Bad) {
            read.bad = p;
            break;
        }
        if (!storeRecord(values, columns, shift, divide, most, out, slot, staging, read))
            break;
    }
    return read;
}

// Lines from p up to the line at `at`, counted as nextLine steps over them.
int64_t linesBefore(const char* p, const char* at) {
    int64_t lines = 0;
    for (; p < at; p = nextLine(p, at))
        ++lines;
    return lines;
}

// A file cut inside its last record: that line holds fewer values than the record line before
// it (or, when it is the first, than `needed`). Such a line is left out, end moved to its start,
// and said in note. first: the first record line; begin: the file, for the line's number.
void leaveOutCutLastLine(const char* begin, const char* first, const char*& end, char separator,
                         int needed, std::string& note) {
    const char* last = lastFilledLine(first, end);
    if (!last || isComment(last, end))
        return;
    const char* before = lastFilledLine(first, last);
    while (before && isComment(before, end))
        before = lastFilledLine(first, before);
    double values[kMostColumns];
    bool clean;
    int expected = needed;
    if (before) {
        const char* q = before;
        expected = scanLine(q, end, values, kMostColumns, &clean, separator);
    }
    const char* q = last;
    const int got = scanLine(q, end, values, kMostColumns, &clean, separator);
    // A line of no numbers at all is not a record cut short, but something else.
    if (got == 0 || got >= expected)
        return;
    end = last;
    note = "line " + std::to_string(1 + linesBefore(begin, last)) +
           ", the last, is incomplete: " + std::to_string(got) + (got == 1 ? " value" : " values") +
           " where " + (before ? "the line before has " : "a record has ") +
           std::to_string(expected);
}

// Records looked at before the blocks start, for the shift and the colour scale.
constexpr int kLookAhead = 64;

// Reads every record from p on into result, at most `most` (dropped ones included), in blocks
// of lines over the threads: a stop at the first line that is not a record; the colour scale
// decided once for the file; firstLine numbers p's line in messages.
void readAllRecords(const ReadRequest& request, const char* p, const char* end,
                    const Columns& columns, char separator, int64_t most, int64_t firstLine,
                    ReadResult& result) {
    std::string cut;
    leaveOutCutLastLine(textOf(request), p, end, separator, columns.needed, cut);
    result.colour = columns.rgb[0] >= 0      ? ColourKind::Rgb
                    : columns.intensity >= 0 ? ColourKind::Intensity
                                             : ColourKind::None;
    // A colour above 1 among the first records settles the scale before any is stored.
    bool divide = false;
    double values[kMostColumns];
    TextBody body;
    body.look = [&](const char*& q, const char* end, double xyz[3]) {
        const Line line = readLine(q, end, columns, separator, values);
        if (line != Line::Record)
            return line == Line::Bad ? LineKind::Bad : LineKind::Skipped;
        xyz[0] = values[columns.x], xyz[1] = values[columns.y], xyz[2] = values[columns.z];
        for (int c = 0; c < 3 && columns.rgb[0] >= 0; ++c)
            divide |= static_cast<float>(values[columns.rgb[c]]) > 1.0f;
        return LineKind::Record;
    };
    body.more = [&divide](int64_t records) { return records < kLookAhead && !divide; };
    AttributeStaging staging(columns.intensity >= 0, columns.classification >= 0);
    body.attributes = staging.any() ? &staging : nullptr;
    body.block = [&](const char* from, const char* to, int64_t limit, const double shift[3],
                     PointRecord* out, int64_t slot) {
        return readBlock(from, to, columns, separator, limit, shift, divide, out, slot,
                         body.attributes);
    };
    LineBlock joined;
    if (!readTextBody(request, p, end, most, false, body, result, joined))
        return;
    const char* bad = joined.bad;
    PointRecord* points = result.points;
    const int64_t kept = result.count;
    if (bad)
        result.message =
            "line " + std::to_string(firstLine + linesBefore(p, bad)) + " is not a complete record";
    else
        result.message = cut;
    // Without a count to compare with, an empty read says so itself.
    if (kept == 0 && result.dropped == 0 && result.expected < 0)
        result.message = "no point could be read" +
                         (result.message.empty() ? std::string() : ": " + result.message);
    // 0..255 integers or 0..1 fractions: one decision for the whole file.
    if (columns.rgb[0] >= 0 && !divide && joined.colourMax > 1.0f)
        runInParts(kept, request.threads, kSmallestReadPart,
                   [points](int64_t begin, int64_t last, int) {
                       for (int64_t i = begin; i < last; ++i) {
                           points[i].r /= 255.0f;
                           points[i].g /= 255.0f;
                           points[i].b /= 255.0f;
                       }
                   });
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
        // x y z r g b a rather than x y z intensity r g b when the last column never changes.
        if (count == 7 && lastColumnConstant(p, end, separator)) {
            columns.intensity = -1;
            columns.rgb[0] = 3, columns.rgb[1] = 4, columns.rgb[2] = 5;
        }
    } else if (byNames(p, end, separator, columns)) {
        p = nextLine(p, end), ++line;
        result.format += ", with a header line";
    } else if (p < end) {
        return refusal("line " + std::to_string(line) +
                       " holds neither three numbers nor x y z names");
    }
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
        return refusal("the first line is not a count");
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
    readAllRecords(request, p, end, columns, ' ', result.expected, 2, result);
    return result;
}
