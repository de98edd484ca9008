// io/las/las_record.h - one LAS point record to a point: the conversion the LAS, LAZ and octree
// readers share, so that a file shows the same whichever way it is read.
#pragma once

#include "io/byte_order.h"
#include "io/las/las_layout.h"
#include "io/point_records.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

// Positions as integer * scale + (offset - shift) in double precision, stored as floats against
// the shift; colour from the record's RGB, scaled as 16-bit values or as 8-bit values in the
// 16-bit fields; without RGB the raw intensity in r, g and b, for the loading code to scale
// over the file's range. Further fields (classification, returns, time, ...) would be taken
// here too.
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
