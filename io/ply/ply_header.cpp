// io/ply/ply_header.cpp - the PLY signature and header: format, elements and their properties.
#include "io/ply/ply_layout.h"
#include "io/ply/ply_reader.h"

#include "io/text_scan.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

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
