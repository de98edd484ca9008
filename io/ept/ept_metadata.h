// io/ept/ept_metadata.h - a tiled octree dataset's description (its ept.json) as a plain
// layout: the root cube, the counts, the record schema and how node files are stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class EptDataType {
    Laszip, // each node file a whole compressed LAS file
    Binary, // packed little-endian records in schema order
};

enum class EptFieldType { Signed, Unsigned, Float };

// One dimension of the schema, placed within a binary record.
struct EptField {
    std::string name;
    EptFieldType type = EptFieldType::Unsigned;
    int size = 0;     // bytes: 1, 2, 4 or 8 (4 or 8 for floats)
    int position = 0; // its first byte within a record
    bool scaled = false;
    double scale = 1.0, offset = 0.0; // value = raw * scale + offset, when scaled
};

struct EptMetadata {
    std::string version;
    double bounds[6] = {};     // the root cube: low corner, then high
    double conforming[6] = {}; // the data's box; bounds when the file gives none
    bool hasConforming = false;
    uint64_t points = 0;
    EptDataType dataType = EptDataType::Laszip;
    int64_t span = 0; // 0 when not given
    std::string srsWkt;
    std::vector<EptField> schema;
    uint32_t recordLength = 0; // the sum of the schema's sizes
    // Indices into schema; -1 when absent. X, Y and Z are always present.
    int x = -1, y = -1, z = -1;
    int red = -1, green = -1, blue = -1, intensity = -1;
    // The attributes kept per point, when the schema has them.
    int classification = -1, returnNumber = -1, numberOfReturns = -1, scanAngle = -1;
    int userData = -1, pointSource = -1, gpsTime = -1;
    int synthetic = -1, keyPoint = -1, withheld = -1, overlap = -1, classFlags = -1;

    const char* dataTypeName() const {
        return dataType == EptDataType::Binary ? "binary" : "laszip";
    }
    // The attribute columns (AttributeBit values) its points carry: by the schema's names, and
    // for compressed nodes every column a LAS record holds (GPS time when the schema names it).
    uint32_t attributes() const;
    // The root cube's edge (its largest, should the file's edges differ).
    double edge() const;
};

// Parses ept.json's text. False with a one-line reason when it is not JSON, lacks what a
// reader needs (bounds, points, schema with X, Y and Z), describes a cube of no size, or stores
// its nodes in a way this program does not read (zstandard, gzip hierarchy).
bool parseEptMetadata(const uint8_t* text, size_t size, EptMetadata& metadata, std::string& reason);
