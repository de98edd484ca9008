// io/las/las_record.h - one LAS point record to a point: the conversion the LAS, LAZ and octree
// readers share, so that a file shows the same whichever way it is read.
#pragma once

#include "io/byte_order.h"
#include "io/las/las_layout.h"
#include "io/point_attributes.h"
#include "io/point_records.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

// Positions as integer * scale + (offset - shift) in double precision, stored as floats against
// the shift; colour from the record's RGB, scaled as 16-bit values or as 8-bit values in the
// 16-bit fields; without RGB the raw intensity in r, g and b, for the loading code to scale
// over the file's range. The other fields are LasAttributeConversion's.
struct LasPointConversion {
    double scale[3] = {1.0, 1.0, 1.0};
    double offset[3] = {}; // the header's offset minus the shift
    int rgbOffset = -1;
    float colourScale = 1.0f / 65535.0f;

    LasPointConversion(const LasLayout& layout, const double shift[3], bool wideColour)
        : rgbOffset(layout.rgbOffset), colourScale(wideColour ? 1.0f / 65535.0f : 1.0f / 255.0f) {
        for (int axis = 0; axis < 3; ++axis) {
            scale[axis] = layout.scale[axis];
            offset[axis] = layout.offset[axis] - shift[axis];
        }
    }

    void convert(const unsigned char* record, PointRecord& p) const {
        p.x = static_cast<float>(loadLittle<int32_t>(record) * scale[0] + offset[0]);
        p.y = static_cast<float>(loadLittle<int32_t>(record + 4) * scale[1] + offset[1]);
        p.z = static_cast<float>(loadLittle<int32_t>(record + 8) * scale[2] + offset[2]);
        if (rgbOffset >= 0) {
            p.r = loadLittle<uint16_t>(record + rgbOffset) * colourScale;
            p.g = loadLittle<uint16_t>(record + rgbOffset + 2) * colourScale;
            p.b = loadLittle<uint16_t>(record + rgbOffset + 4) * colourScale;
        } else {
            p.r = p.g = p.b = loadLittle<uint16_t>(record + 12);
        }
    }
};

// Whether any of count records (stride bytes apart) has a colour component above 255: then the
// colours are 16-bit, else they are 8-bit values in the 16-bit fields.
inline bool lasColourIsWide(const unsigned char* records, uint64_t count, size_t stride,
                            int rgbOffset) {
    if (rgbOffset < 0)
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char* rgb = records + i * stride + rgbOffset;
        if (std::max({loadLittle<uint16_t>(rgb), loadLittle<uint16_t>(rgb + 2),
                      loadLittle<uint16_t>(rgb + 4)}) > 255)
            return true;
    }
    return false;
}

// The attributes of a point format: the legacy formats 0-5 and the extended 6-10 each as they
// lay them out. The legacy formats' 3-bit returns, 5-bit class with three flag bits and scan
// angle in whole degrees become the extended formats' 4-bit returns, 8-bit class with four
// flag bits and 0.006 degree steps; the scanner channel, scan direction and edge bits are not
// kept.
struct LasAttributeConversion {
    uint32_t present = 0;
    bool extended = false;
    int gpsOffset = -1;            // within a record; -1 for formats without GPS time
    int16_t legacyAngle[256] = {}; // a legacy scan angle rank (as its byte) in 0.006 degrees

    explicit LasAttributeConversion(int pointFormat) {
        extended = pointFormat >= 6;
        const bool timed = pointFormat == 1 || pointFormat >= 3;
        gpsOffset = !timed ? -1 : extended ? 22 : 20;
        present = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                  kPointSource | (timed ? kGpsTime : 0u);
        for (int byte = 0; byte < 256; ++byte)
            legacyAngle[byte] =
                static_cast<int16_t>(std::lround(static_cast<int8_t>(byte) / kScanAngleDegrees));
    }

    // Sizes attributes' columns to count entries of this format, for records of a file with
    // this global encoding.
    void startColumns(PointAttributes& attributes, uint16_t globalEncoding, size_t count) const {
        attributes.present = present;
        attributes.gpsStandardTime = (globalEncoding & 1) && gpsOffset >= 0;
        attributes.resize(count);
    }

    // The columns written through, set up once for a run of records.
    struct Columns {
        uint16_t* intensity;
        uint8_t *classification, *returns, *flags, *userData;
        int16_t* scanAngle;
        uint16_t* pointSource;
        double* gpsTime; // null without GPS time
    };
    static Columns columnsOf(PointAttributes& a) {
        return {a.intensity.data(),   a.classification.data(),
                a.returns.data(),     a.flags.data(),
                a.userData.data(),    a.scanAngle.data(),
                a.pointSource.data(), a.gpsTime.empty() ? nullptr : a.gpsTime.data()};
    }

    void convert(const unsigned char* record, const Columns& to, size_t i) const {
        to.intensity[i] = loadLittle<uint16_t>(record + 12);
        const uint8_t bits = record[14], classByte = record[15];
        if (extended) {
            to.returns[i] = bits; // already return number low, number of returns high
            to.flags[i] = classByte & 15;
            to.classification[i] = record[16];
            to.scanAngle[i] = loadLittle<int16_t>(record + 18);
        } else {
            to.returns[i] = PointAttributes::packReturns(bits & 7, (bits >> 3) & 7);
            to.flags[i] = classByte >> 5; // synthetic, key-point, withheld: the same order
            to.classification[i] = classByte & 31;
            to.scanAngle[i] = legacyAngle[record[16]];
        }
        to.userData[i] = record[17];
        to.pointSource[i] = loadLittle<uint16_t>(record + (extended ? 20 : 18));
        if (to.gpsTime)
            to.gpsTime[i] = loadLittle<double>(record + gpsOffset);
    }
};
