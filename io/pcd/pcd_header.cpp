// io/pcd/pcd_header.cpp - the PCD signature and header: fields, sizes, types, counts, the data.
#include "io/pcd/pcd_layout.h"
#include "io/pcd/pcd_reader.h"

#include "io/text_scan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

// VIEWPOINT tx ty tz qw qx qy qz; false, leaving pose alone, unless all seven are finite numbers.
bool parseViewpoint(const std::vector<std::string>& word, SensorPose& pose) {
    if (word.size() != 8)
        return false;
    double values[7];
    for (size_t i = 0; i < 7; ++i) {
        const char* text = word[i + 1].c_str();
        char* end = nullptr;
        values[i] = std::strtod(text, &end);
        if (end == text || *end != '\0' || !std::isfinite(values[i]))
            return false;
    }
    std::copy(values, values + 3, pose.translation);
    std::copy(values + 3, values + 7, pose.rotation);
    return true;
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
        } else if (key == "VIEWPOINT") {
            parseViewpoint(word, layout.viewpoint);
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
        // VERSION says nothing the points need.
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

PcdFields findPcdFields(const PcdLayout& layout) {
    PcdFields found;
    int channel[3] = {-1, -1, -1};
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        std::string name = layout.fields[i].name;
        // Some writers capitalise their field names (X Y Z Intensity Red Green Blue).
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
        else if (name == "label")
            found.label = index;
        else if (name == "red" || name == "r")
            channel[0] = index;
        else if (name == "green" || name == "g")
            channel[1] = index;
        else if (name == "blue" || name == "b")
            channel[2] = index;
    }
    if (found.colour < 0 && channel[0] >= 0 && channel[1] >= 0 && channel[2] >= 0)
        for (int c = 0; c < 3; ++c) {
            const PcdField& field = layout.fields[channel[c]];
            found.channel[c] = channel[c];
            // Fractions as floats, else the integer's full range (32-bit integers hold 0..255).
            found.channelScale[c] = field.type == 'F' ? 1.0f
                                    : field.size == 2 ? 1.0f / 65535.0f
                                                      : 1.0f / 255.0f;
        }
    return found;
}
