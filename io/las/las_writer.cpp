// io/las/las_writer.cpp - the header from one pass over the points, then the records in blocks.
#include "io/las/las_writer.h"

#include "io/byte_order.h"
#include "io/laz/las14_header.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr size_t kBlockRecords = 4096;

// The largest magnitude of each stored coordinate among the finite points, and their number.
int64_t largestStored(const PointCloud& cloud, double largest[3]) {
    largest[0] = largest[1] = largest[2] = 0.0;
    int64_t finite = 0;
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        ++finite;
        largest[0] = std::max(largest[0], double(std::fabs(p.x)));
        largest[1] = std::max(largest[1], double(std::fabs(p.y)));
        largest[2] = std::max(largest[2], double(std::fabs(p.z)));
    }
    return finite;
}

// Stored coordinates at this scale must stay within 32 bits.
bool fits(double largest, double scale) {
    return scale > 0 && largest / scale < 2147483000.0;
}

int32_t toInteger(float stored, double scale) {
    return static_cast<int32_t>(std::llround(double(stored) / scale));
}

uint16_t toWord(float colour) {
    return static_cast<uint16_t>(std::lround(std::clamp(colour, 0.0f, 1.0f) * 65535.0f));
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
        const double step = std::pow(10.0, std::floor(std::log10(spacing / 2)));
        scale[axis] = std::clamp(step, 1e-9, 1.0);
    }
}

bool writeLas(const PointCloud& cloud, FILE* out, int64_t& skipped) {
    const PointAttributes& a = cloud.attributes;
    const bool colour = cloud.colour == ColourKind::Rgb;
    Las14Header header;
    header.pointFormat = colour ? 7 : 6;
    header.recordLength = colour ? 36 : 30;
    lasScaleFor(cloud, header.scale);
    double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        ++header.pointCount;
        const float stored[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            const double value = toInteger(stored[axis], header.scale[axis]) * header.scale[axis];
            low[axis] = std::min(low[axis], value), high[axis] = std::max(high[axis], value);
        }
        const int number = a.has(kReturns) ? PointAttributes::returnNumber(a.returns[i]) : 1;
        if (number >= 1)
            ++header.pointsByReturn[number - 1];
    }
    skipped = cloud.count - static_cast<int64_t>(header.pointCount);
    for (int axis = 0; axis < 3; ++axis) {
        header.offset[axis] = cloud.shifted ? cloud.shift[axis] : 0.0;
        header.min[axis] = header.pointCount ? low[axis] + header.offset[axis] : 0.0;
        header.max[axis] = header.pointCount ? high[axis] + header.offset[axis] : 0.0;
    }
    const std::vector<uint8_t> head = encodeLas14Header(header);
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size())
        return false;

    std::vector<unsigned char> block(kBlockRecords * header.recordLength);
    size_t filled = 0;
    for (int32_t i = 0; i < cloud.count; ++i) {
        const PointRecord& p = cloud.points[i];
        if (!finitePosition(p))
            continue;
        unsigned char* r = block.data() + filled * header.recordLength;
        std::fill(r, r + header.recordLength, 0);
        storeLittle(r, toInteger(p.x, header.scale[0]));
        storeLittle(r + 4, toInteger(p.y, header.scale[1]));
        storeLittle(r + 8, toInteger(p.z, header.scale[2]));
        if (a.has(kIntensity))
            storeLittle(r + 12, a.intensity[i]);
        r[14] = a.has(kReturns) ? a.returns[i] : PointAttributes::packReturns(1, 1);
        if (a.has(kFlags))
            r[15] = a.flags[i] & 15;
        if (a.has(kClassification))
            r[16] = a.classification[i];
        if (a.has(kUserData))
            r[17] = a.userData[i];
        if (a.has(kScanAngle))
            storeLittle(r + 18, a.scanAngle[i]);
        if (a.has(kPointSource))
            storeLittle(r + 20, a.pointSource[i]);
        if (a.has(kGpsTime))
            storeLittle(r + 22, a.gpsTime[i]);
        if (colour) {
            storeLittle(r + 30, toWord(p.r));
            storeLittle(r + 32, toWord(p.g));
            storeLittle(r + 34, toWord(p.b));
        }
        if (++filled == kBlockRecords) {
            if (std::fwrite(block.data(), header.recordLength, filled, out) != filled)
                return false;
            filled = 0;
        }
    }
    if (filled && std::fwrite(block.data(), header.recordLength, filled, out) != filled)
        return false;
    return std::fflush(out) == 0 && !std::ferror(out);
}
