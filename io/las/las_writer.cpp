// io/las/las_writer.cpp - the header from one pass over the points, then the records in blocks.
#include "io/las/las_writer.h"

#include "io/las/las14_records.h"
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

// Calls run(first, count) for each run of at most kBlockRecords records with a finite position
// (the only ones a record holds), in order; false as soon as a run's call is.
template <class Run> bool eachFiniteRun(const PointCloud& cloud, Run run) {
    for (int64_t i = 0; i < cloud.count;) {
        if (!finitePosition(cloud.points[i])) {
            ++i;
            continue;
        }
        int64_t end = i + 1;
        while (end < cloud.count && end - i < int64_t(kBlockRecords) &&
               finitePosition(cloud.points[end]))
            ++end;
        if (!run(i, end - i))
            return false;
        i = end;
    }
    return true;
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
    double scale[3];
    lasScaleFor(cloud, scale);
    Las14Frame frame = las14FrameAt(cloud, scale);
    moveOffsetsOntoFileGrid(cloud, frame);
    std::vector<uint8_t> block(kBlockRecords * frame.recordLength);

    // The header comes first and holds the box of the records as written: they are made twice,
    // once for their tally, once to be written.
    Las14Tally tally;
    eachFiniteRun(cloud, [&](int64_t first, int64_t count) {
        makeLas14Records(cloud, frame, first, count, block.data(), tally);
        return true;
    });
    skipped = cloud.count - static_cast<int64_t>(tally.points);
    Las14Header header;
    header.pointFormat = static_cast<uint8_t>(frame.pointFormat);
    header.recordLength = static_cast<uint16_t>(frame.recordLength);
    header.pointCount = tally.points;
    describeLas14Records(frame, tally, header);
    const std::vector<uint8_t> head = encodeLas14Header(header);
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size())
        return false;

    Las14Tally written;
    const bool ok = eachFiniteRun(cloud, [&](int64_t first, int64_t count) {
        makeLas14Records(cloud, frame, first, count, block.data(), written);
        return std::fwrite(block.data(), frame.recordLength, size_t(count), out) == size_t(count);
    });
    return ok && std::fflush(out) == 0 && !std::ferror(out);
}
