// io/pcd/pcd_layout.h - private to the PCD reader: the header as a plain description, the
// fields that hold position and colour, the values as the bodies load them, and the bodies.
#pragma once

#include "io/byte_order.h"
#include "io/format_reader.h"
#include "io/sensor_pose.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PcdField {
    std::string name;
    int size = 4;
    char type = 'F'; // I, U or F
    int count = 1;
    size_t offset = 0; // within a point of the binary layout
};

struct PcdLayout {
    std::vector<PcdField> fields;
    uint64_t width = 0, height = 1, points = 0;
    enum class Data { Ascii, Binary, Compressed } data = Data::Ascii;
    size_t pointBytes = 0;
    size_t bodyOffset = 0;
    // VIEWPOINT: the sensor's translation, then its rotation as a quaternion w x y z. A line
    // without seven finite numbers leaves the identity.
    SensorPose viewpoint;
};

// False with a one-line reason when the header cannot be read.
bool parsePcdHeader(const unsigned char* bytes, size_t size, PcdLayout& layout,
                    std::string& reason);

// Which fields hold x, y, z, the colour and the attributes; -1 when absent. Names match in any
// case.
struct PcdFields {
    int position[3] = {-1, -1, -1};
    int colour = -1; // rgb or rgba, packed
    // red, green and blue (or r, g, b) one field each, when all three are there and no packed
    // colour is; each value times its scale (by type, as in PLY) gives 0..1.
    int channel[3] = {-1, -1, -1};
    float channelScale[3] = {1.0f, 1.0f, 1.0f};
    int intensity = -1;
    int label = -1; // a class code per point
    bool channels() const { return channel[0] >= 0; }
};

PcdFields findPcdFields(const PcdLayout& layout);

// A field's value at p, little-endian, of any size and type.
inline double pcdValue(const unsigned char* p, const PcdField& field) {
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

// The colour packed in rgb or rgba: 0x00RRGGBB.
inline void unpackColour(uint32_t word, PointRecord& point) {
    point.r = static_cast<float>((word >> 16) & 0xFF) / 255.0f;
    point.g = static_cast<float>((word >> 8) & 0xFF) / 255.0f;
    point.b = static_cast<float>(word & 0xFF) / 255.0f;
}

// The points of the body after the header into result: ascii line by line in blocks over the
// threads, blank lines passed over; binary (rows) and binary_compressed (columns after LZF)
// decoded in place, split over the threads. A compressed block that does not fit the header
// refuses the file.
void readPcdAscii(const ReadRequest& request, const PcdLayout& layout, const PcdFields& fields,
                  ReadResult& result);
void readPcdBinary(const ReadRequest& request, const PcdLayout& layout, const PcdFields& fields,
                   ReadResult& result);
