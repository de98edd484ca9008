// io/las/las_writer.cpp - the header from one pass over the points, then the records in blocks.
#include "io/las/las_writer.h"

#include "io/las/las14_point_encoder.h"
#include "io/laz/las14_header.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr size_t kBlockRecords = 4096;

// The largest magnitude of each stored coordinate among the finite points.
void largestStored(const PointCloud& cloud, double largest[3]) {
    largest[0] = largest[1] = largest[2] = 0.0;
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        largest[0] = std::max(largest[0], double(std::fabs(p.x)));
        largest[1] = std::max(largest[1], double(std::fabs(p.y)));
        largest[2] = std::max(largest[2], double(std::fabs(p.z)));
    }
}

// Stored coordinates at this scale must round into 32 bits.
bool fits(double largest, double scale) {
    return scale > 0 && largest / scale < 2147483000.0;
}

} // namespace

void lasScaleFor(const PointCloud& cloud, double scale[3]) {
    double largest[3];
    largestStored(cloud, largest);
    for (int axis = 0; axis < 3; ++axis) {
        if (fits(largest[axis], cloud.precision[axis])) {
            scale[axis] = cloud.precision[axis];
            continue;
        }
        const float top = static_cast<float>(largest[axis]);
        const double spacing =
            double(std::nextafter(top, std::numeric_limits<float>::infinity())) - double(top);
        // A float is at most 2^24 of its spacing, so the integers stay below 2^24 * 40.
        scale[axis] = std::max(std::pow(10.0, std::floor(std::log10(spacing / 4))), 1e-9);
    }
}

bool writeLas(const PointCloud& cloud, FILE* out, int64_t& skipped) {
    const PointAttributes& a = cloud.attributes;
    double scale[3];
    lasScaleFor(cloud, scale);
    const Las14PointEncoder encoder(cloud, scale);
    Las14Header header;
    header.pointFormat = static_cast<uint8_t>(encoder.pointFormat());
    header.recordLength = static_cast<uint16_t>(encoder.recordLength());
    std::copy(scale, scale + 3, header.scale);
    if (a.gpsStandardTime)
        header.globalEncoding |= 1;

    // The box of the coordinates as written: the integers scaled back and offset as a reader
    // does, so that the header matches the records to the bit.
    int32_t low[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    int32_t high[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        ++header.pointCount;
        const float stored[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            const int32_t value = encoder.toInteger(stored[axis], axis);
            low[axis] = std::min(low[axis], value);
            high[axis] = std::max(high[axis], value);
        }
        const int number = a.has(kReturns) ? PointAttributes::returnNumber(a.returns[i]) : 1;
        if (number >= 1)
            ++header.pointsByReturn[number - 1];
    }
    skipped = cloud.count - static_cast<int64_t>(header.pointCount);
    for (int axis = 0; axis < 3; ++axis) {
        header.offset[axis] = cloud.shifted ? cloud.shift[axis] : 0.0;
        if (header.pointCount == 0)
            continue;
        header.min[axis] = low[axis] * scale[axis] + header.offset[axis];
        header.max[axis] = high[axis] * scale[axis] + header.offset[axis];
    }
    const std::vector<uint8_t> head = encodeLas14Header(header);
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size())
        return false;

    const size_t length = encoder.recordLength();
    std::vector<unsigned char> block(kBlockRecords * length);
    size_t filled = 0;
    for (int32_t i = 0; i < cloud.count; ++i) {
        if (!finitePosition(cloud.points[i]))
            continue;
        encoder.encode(i, block.data() + filled * length);
        if (++filled == kBlockRecords) {
            if (std::fwrite(block.data(), length, filled, out) != filled)
                return false;
            filled = 0;
        }
    }
    if (filled && std::fwrite(block.data(), length, filled, out) != filled)
        return false;
    return std::fflush(out) == 0 && !std::ferror(out);
}
