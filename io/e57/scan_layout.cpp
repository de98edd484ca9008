// io/e57/scan_layout.cpp - from the XML tree to one ScanLayout per scan.
#include "io/e57/scan_layout.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Nesting deeper than this inside a prototype is refused rather than walked.
constexpr int maxPrototypeDepth = 32;

bool onlySpaces(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        ++p;
    return *p == '\0';
}

// Whole-text numbers in C syntax; surrounding white space is allowed, anything else is not.
bool parseInt64(const std::string& text, int64_t& value) {
    const char* s = text.c_str();
    if (onlySpaces(s)) {
        value = 0;
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE || !onlySpaces(end))
        return false;
    value = v;
    return true;
}

bool parseDouble(const std::string& text, double& value) {
    const char* s = text.c_str();
    if (onlySpaces(s)) {
        value = 0;
        return true;
    }
    char* end = nullptr;
    const double v = std::strtod(s, &end);
    if (end == s || !onlySpaces(end))
        return false;
    value = v;
    return true;
}

bool int64Attribute(const XmlElement& e, const char* name, int64_t fallback, int64_t& value) {
    const std::string* text = e.attribute(name);
    if (text == nullptr) {
        value = fallback;
        return true;
    }
    return parseInt64(*text, value);
}

bool doubleAttribute(const XmlElement& e, const char* name, double fallback, double& value) {
    const std::string* text = e.attribute(name);
    if (text == nullptr) {
        value = fallback;
        return true;
    }
    return parseDouble(*text, value);
}

bool hasType(const XmlElement& e, const char* type) {
    const std::string* t = e.attribute("type");
    return t != nullptr && *t == type;
}

// The value of an Integer, ScaledInteger or Float element; false for anything else.
bool numberValue(const XmlElement* e, double& value) {
    if (e == nullptr)
        return false;
    if (hasType(*e, "Integer")) {
        int64_t raw;
        if (!parseInt64(e->text, raw))
            return false;
        value = double(raw);
        return true;
    }
    if (hasType(*e, "ScaledInteger")) {
        int64_t raw;
        double scale, offset;
        if (!parseInt64(e->text, raw) || !doubleAttribute(*e, "scale", 1, scale) ||
            !doubleAttribute(*e, "offset", 0, offset))
            return false;
        value = double(raw) * scale + offset;
        return true;
    }
    if (hasType(*e, "Float"))
        return parseDouble(e->text, value);
    return false;
}

double numberOr(const XmlElement* parent, const char* name, double fallback) {
    double value;
    if (parent != nullptr && numberValue(parent->child(name), value) && std::isfinite(value))
        return value;
    return fallback;
}

// The encoding of one prototype leaf; false, with problem set, when it cannot be decoded.
bool describeLeaf(const XmlElement& e, FieldCodec& codec, std::string& problem) {
    if (hasType(e, "Integer") || hasType(e, "ScaledInteger")) {
        codec.type = hasType(e, "Integer") ? FieldCodec::Integer : FieldCodec::ScaledInteger;
        if (!int64Attribute(e, "minimum", INT64_MIN, codec.minimum) ||
            !int64Attribute(e, "maximum", INT64_MAX, codec.maximum) ||
            !doubleAttribute(e, "scale", 1, codec.scale) ||
            !doubleAttribute(e, "offset", 0, codec.offset)) {
            problem = "field " + e.name + " has unreadable limits";
            return false;
        }
        if (codec.minimum > codec.maximum) {
            problem = "field " + e.name + " has a minimum above its maximum";
            return false;
        }
        const uint64_t span = uint64_t(codec.maximum) - uint64_t(codec.minimum);
        codec.bits = span == 0 ? 0 : 64 - unsigned(__builtin_clzll(span));
        if (codec.type == FieldCodec::Integer)
            codec.scale = 1, codec.offset = 0;
        codec.lowest = double(codec.minimum) * codec.scale + codec.offset;
        codec.highest = double(codec.maximum) * codec.scale + codec.offset;
        if (codec.lowest > codec.highest)
            std::swap(codec.lowest, codec.highest);
        return true;
    }
    if (hasType(e, "Float")) {
        codec.type = FieldCodec::Float;
        const std::string* precision = e.attribute("precision");
        codec.single = precision != nullptr && *precision == "single";
        const double range = codec.single ? double(FLT_MAX) : DBL_MAX;
        codec.hasLimits = e.attribute("minimum") != nullptr || e.attribute("maximum") != nullptr;
        if (!doubleAttribute(e, "minimum", -range, codec.lowest) ||
            !doubleAttribute(e, "maximum", range, codec.highest)) {
            problem = "field " + e.name + " has unreadable limits";
            return false;
        }
        return true;
    }
    if (hasType(e, "String")) {
        codec.type = FieldCodec::String;
        return true;
    }
    const std::string* type = e.attribute("type");
    problem = "field " + e.name + " has type " + (type ? *type : std::string("(none)")) +
              ", which a record cannot hold";
    return false;
}

// Numbers the leaves depth-first; standard fields are the prototype's direct children.
bool collectLeaves(const XmlElement& node, int depth, ScanLayout& scan,
                   std::vector<const XmlElement*>& topLevel) {
    for (const XmlElement& child : node.children) {
        if (hasType(child, "Structure") || hasType(child, "Vector")) {
            if (depth >= maxPrototypeDepth) {
                scan.problem = "record prototype nested too deeply";
                return false;
            }
            if (!collectLeaves(child, depth + 1, scan, topLevel))
                return false;
            continue;
        }
        FieldCodec codec;
        if (!describeLeaf(child, codec, scan.problem))
            return false;
        topLevel.push_back(depth == 0 ? &child : nullptr);
        scan.leaves.push_back(codec);
    }
    return true;
}

int leafNamed(const std::vector<const XmlElement*>& topLevel, const char* name) {
    for (size_t i = 0; i < topLevel.size(); ++i)
        if (topLevel[i] != nullptr && topLevel[i]->name == name)
            return int(i);
    return -1;
}

// The standard has no class field: extensions add one as "classification" under their own
// prefix ("las:classification"), or without one.
int classificationLeaf(const std::vector<const XmlElement*>& topLevel) {
    const std::string name = "classification";
    for (size_t i = 0; i < topLevel.size(); ++i) {
        if (topLevel[i] == nullptr)
            continue;
        const std::string& leaf = topLevel[i]->name;
        const size_t colon = leaf.rfind(':');
        if (leaf == name ||
            (colon != std::string::npos && leaf.compare(colon + 1, std::string::npos, name) == 0))
            return int(i);
    }
    return -1;
}

// Anything but the bit-pack codec (the default when the list is empty) cannot be decoded.
bool onlyBitPack(const XmlElement& e, bool& sawBitPack) {
    const size_t n = e.name.size();
    if (e.name == "bitPackCodec")
        sawBitPack = true;
    else if (n >= 5 && e.name.compare(n - 5, 5, "Codec") == 0)
        return false;
    for (const XmlElement& c : e.children)
        if (!onlyBitPack(c, sawBitPack))
            return false;
    return true;
}

void describeRoles(ScanLayout& scan, const std::vector<const XmlElement*>& topLevel) {
    FieldRoles& r = scan.roles;
    const char* cartesian[3] = {"cartesianX", "cartesianY", "cartesianZ"};
    const char* spherical[3] = {"sphericalRange", "sphericalAzimuth", "sphericalElevation"};
    const char* colour[3] = {"colorRed", "colorGreen", "colorBlue"};
    int c[3], s[3], k[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = leafNamed(topLevel, cartesian[i]);
        s[i] = leafNamed(topLevel, spherical[i]);
        k[i] = leafNamed(topLevel, colour[i]);
    }
    if (c[0] >= 0 && c[1] >= 0 && c[2] >= 0) {
        std::copy(c, c + 3, r.position);
        r.invalidState = leafNamed(topLevel, "cartesianInvalidState");
    } else if (s[0] >= 0 && s[1] >= 0 && s[2] >= 0) {
        std::copy(s, s + 3, r.position);
        r.invalidState = leafNamed(topLevel, "sphericalInvalidState");
        scan.spherical = true;
    } else {
        scan.problem = "no cartesian or spherical coordinates";
    }
    // Position must be numeric to mean anything.
    for (int i = 0; i < 3 && scan.problem.empty(); ++i)
        if (scan.leaves[size_t(r.position[i])].type == FieldCodec::String)
            scan.problem = "coordinates stored as text";
    if (k[0] >= 0 && k[1] >= 0 && k[2] >= 0) {
        std::copy(k, k + 3, r.colour);
        r.colourInvalid = leafNamed(topLevel, "isColorInvalid");
    }
    r.intensity = leafNamed(topLevel, "intensity");
    r.intensityInvalid = r.intensity >= 0 ? leafNamed(topLevel, "isIntensityInvalid") : -1;
    r.classification = classificationLeaf(topLevel);
    auto numeric = [&](int& leaf) {
        if (leaf >= 0 && scan.leaves[size_t(leaf)].type == FieldCodec::String)
            leaf = -1;
    };
    for (int& leaf : r.colour)
        numeric(leaf);
    if (r.colour[0] < 0 || r.colour[1] < 0 || r.colour[2] < 0)
        r.colour[0] = r.colour[1] = r.colour[2] = -1;
    numeric(r.invalidState);
    numeric(r.colourInvalid);
    numeric(r.intensity);
    numeric(r.intensityInvalid);
    numeric(r.classification);
}

// Declared limits when they give a range, else the field's own encoding limits.
void fieldRange(const XmlElement* limits, const char* lowName, const char* highName,
                const FieldCodec& codec, double& lowest, double& highest, bool& declared) {
    const double low = numberOr(limits, lowName, 0), high = numberOr(limits, highName, 0);
    declared = high > low;
    if (declared) {
        lowest = low, highest = high;
    } else if ((codec.type != FieldCodec::Float || codec.hasLimits) &&
               codec.highest > codec.lowest) {
        lowest = codec.lowest, highest = codec.highest;
        declared = true;
    }
}

void describeColourAndIntensity(ScanLayout& scan, const XmlElement& node) {
    const FieldRoles& r = scan.roles;
    if (scan.hasColour()) {
        const XmlElement* limits = node.child("colorLimits");
        const char* names[3][2] = {{"colorRedMinimum", "colorRedMaximum"},
                                   {"colorGreenMinimum", "colorGreenMaximum"},
                                   {"colorBlueMinimum", "colorBlueMaximum"}};
        for (int i = 0; i < 3; ++i) {
            bool declared = false;
            fieldRange(limits, names[i][0], names[i][1], scan.leaves[size_t(r.colour[i])],
                       scan.colourLowest[i], scan.colourHighest[i], declared);
            if (!declared)
                scan.colourLowest[i] = 0, scan.colourHighest[i] = 255;
        }
    }
    if (r.intensity >= 0)
        fieldRange(node.child("intensityLimits"), "intensityMinimum", "intensityMaximum",
                   scan.leaves[size_t(r.intensity)], scan.intensityLowest, scan.intensityHighest,
                   scan.intensityRangeDeclared);
}

void describePose(ScanLayout& scan, const XmlElement& node) {
    const XmlElement* pose = node.child("pose");
    if (pose == nullptr)
        return;
    if (const XmlElement* q = pose->child("rotation"))
        scan.pose.setRotation(numberOr(q, "w", 1), numberOr(q, "x", 0), numberOr(q, "y", 0),
                              numberOr(q, "z", 0));
    if (const XmlElement* t = pose->child("translation")) {
        scan.pose.translation[0] = numberOr(t, "x", 0);
        scan.pose.translation[1] = numberOr(t, "y", 0);
        scan.pose.translation[2] = numberOr(t, "z", 0);
    }
}

void describeScan(const XmlElement& node, ScanLayout& scan) {
    if (const XmlElement* name = node.child("name"))
        scan.name = name->text;
    const XmlElement* points = node.child("points");
    if (points == nullptr || !hasType(*points, "CompressedVector")) {
        scan.problem = "no point records";
        return;
    }
    int64_t count, offset;
    if (!int64Attribute(*points, "recordCount", 0, count) || count < 0 ||
        !int64Attribute(*points, "fileOffset", 0, offset) || offset < 0) {
        scan.problem = "unreadable record count or section offset";
        return;
    }
    scan.recordCount = uint64_t(count);
    scan.fileOffset = uint64_t(offset);
    const XmlElement* prototype = points->child("prototype");
    if (prototype == nullptr) {
        scan.problem = "no record prototype";
        return;
    }
    std::vector<const XmlElement*> topLevel;
    if (!collectLeaves(*prototype, 0, scan, topLevel))
        return;
    if (const XmlElement* codecs = points->child("codecs")) {
        bool sawBitPack = false;
        if (!onlyBitPack(*codecs, sawBitPack) || (!codecs->children.empty() && !sawBitPack)) {
            scan.problem = "compressed with a codec other than bit packing";
            return;
        }
    }
    describeRoles(scan, topLevel);
    if (!scan.problem.empty())
        return;
    describeColourAndIntensity(scan, node);
    describePose(scan, node);
}

} // namespace

bool describeScans(const XmlElement& root, FileLayout& layout, std::string& error) {
    layout = FileLayout();
    if (root.name != "e57Root" || !hasType(root, "Structure")) {
        error = "the XML root is not an e57Root structure";
        return false;
    }
    const XmlElement* data3D = root.child("data3D");
    if (data3D == nullptr)
        return true;
    for (const XmlElement& node : data3D->children) {
        layout.scans.emplace_back();
        ScanLayout& scan = layout.scans.back();
        describeScan(node, scan);
        // Saturate: the total only bounds what is allocated, and a hostile sum must not wrap.
        layout.recordCount = scan.recordCount > UINT64_MAX - layout.recordCount
                                 ? UINT64_MAX
                                 : layout.recordCount + scan.recordCount;
    }
    return true;
}
