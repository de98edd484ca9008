// io/e57/scan_layout.h - what the XML section says about each scan: where its records are,
// how each field is encoded, which fields give position and colour, and its pose.
#pragma once

#include "io/e57/rigid_pose.h"
#include "io/e57/xml_tree.h"

#include <cstdint>
#include <string>
#include <vector>

// How one leaf of a record prototype is stored in its bytestream.
struct FieldCodec {
    enum Type { Integer, ScaledInteger, Float, String };
    Type type = Integer;
    int64_t minimum = INT64_MIN; // Integer and ScaledInteger: raw limits
    int64_t maximum = INT64_MAX;
    unsigned bits = 64; // packed width of raw - minimum; 0 stores nothing
    double scale = 1;   // ScaledInteger: value = raw * scale + offset
    double offset = 0;
    bool single = false;            // Float: 4-byte values instead of 8
    bool hasLimits = true;          // Float: minimum / maximum were given
    double lowest = 0, highest = 0; // the value range the limits give, scaled
};

// The leaf numbers (bytestreams) of the fields a viewer uses, -1 when absent.
struct FieldRoles {
    int position[3] = {-1, -1, -1}; // x y z, or range azimuth elevation when spherical
    int invalidState = -1;          // the one that belongs to the coordinates used
    int colour[3] = {-1, -1, -1};
    int colourInvalid = -1;
    int intensity = -1;
    int intensityInvalid = -1;
    int classification = -1; // an extension's class code per point
};

struct ScanLayout {
    std::string name;
    uint64_t recordCount = 0;
    uint64_t fileOffset = 0; // physical offset of the compressed-vector section
    std::vector<FieldCodec> leaves;
    FieldRoles roles;
    bool spherical = false;
    RigidPose pose;
    // Per colour component, and for intensity, the value range that maps to 0..1. A range
    // with highest <= lowest means the field carries nothing.
    double colourLowest[3] = {0, 0, 0}, colourHighest[3] = {255, 255, 255};
    double intensityLowest = 0, intensityHighest = 0;
    bool intensityRangeDeclared = false;
    // Why this scan cannot be decoded; empty when it can.
    std::string problem;

    bool hasColour() const { return roles.colour[0] >= 0; }
};

struct FileLayout {
    std::vector<ScanLayout> scans;
    uint64_t recordCount = 0; // over all scans, decodable or not
};

// Reads the scans under e57Root/data3D. False, with error set, when the document is not an
// E57 description at all; a scan that cannot be decoded only gets its problem set.
bool describeScans(const XmlElement& root, FileLayout& layout, std::string& error);
