// io/las_reader.cpp - the LAS header, then the records decoded in place from the mapping, split
// over the threads for large files.
#include "io/las_reader.h"

#include "io/byte_order.h"
#include "io/cloud_builder.h"
#include "threads/worker_pool.h"
#include "io/shift.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// Bytes of each point data format's fixed part, and where its RGB starts (-1: none).
constexpr uint32_t kRecordBytes[11] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
constexpr int kRgbOffset[11] = {-1, -1, 20, 28, -1, 28, -1, 30, 30, -1, 30};
constexpr size_t kMinimumHeader = 227;

bool startsWithLasf(const unsigned char* head, size_t size) {
    return size >= 4 && head[0] == 'L' && head[1] == 'A' && head[2] == 'S' && head[3] == 'F';
}

} // namespace

bool hasLasSignature(const unsigned char* head, size_t size) {
    return startsWithLasf(head, size) && (size <= 104 || (head[104] & 0xC0) == 0);
}

bool hasLazSignature(const unsigned char* head, size_t size) {
    return startsWithLasf(head, size) && size > 104 && (head[104] & 0xC0) != 0;
}

bool parseLasHeader(const unsigned char* bytes, size_t size, LasLayout& layout,
                    std::string& reason) {
    if (size < kMinimumHeader) {
        reason = "the header is cut short (" + std::to_string(size) + " bytes)";
        return false;
    }
    layout.versionMajor = bytes[24];
    layout.versionMinor = bytes[25];
    const uint16_t headerSize = loadLittle<uint16_t>(bytes + 94);
    layout.dataOffset = loadLittle<uint32_t>(bytes + 96);
    layout.pointFormat = bytes[104] & 0x3F;
    layout.recordLength = loadLittle<uint16_t>(bytes + 105);
    layout.declared = loadLittle<uint32_t>(bytes + 107);
    for (int axis = 0; axis < 3; ++axis) {
        layout.scale[axis] = loadLittle<double>(bytes + 131 + 8 * axis);
        layout.offset[axis] = loadLittle<double>(bytes + 155 + 8 * axis);
        layout.high[axis] = loadLittle<double>(bytes + 179 + 16 * axis);
        layout.low[axis] = loadLittle<double>(bytes + 187 + 16 * axis);
    }
    // 1.4 keeps the 64-bit count after the extended records' fields; the 32-bit one may be 0.
    if (layout.versionMajor == 1 && layout.versionMinor >= 4 && headerSize >= 255 && size >= 255) {
        const uint64_t wide = loadLittle<uint64_t>(bytes + 247);
        if (wide != 0 || layout.declared == 0)
            layout.declared = wide;
    }
    char text[160];
    if (layout.versionMajor != 1 || layout.versionMinor > 4) {
        std::snprintf(text, sizeof text, "version %d.%d is not one this program reads",
                      layout.versionMajor, layout.versionMinor);
        reason = text;
        return false;
    }
    if (layout.pointFormat > 10) {
        std::snprintf(text, sizeof text, "point format %d is not one this program reads",
                      layout.pointFormat);
        reason = text;
        return false;
    }
    if (layout.recordLength < kRecordBytes[layout.pointFormat]) {
        std::snprintf(text, sizeof text,
                      "point record length %u is shorter than point format %d's %u bytes",
                      layout.recordLength, layout.pointFormat, kRecordBytes[layout.pointFormat]);
        reason = text;
        return false;
    }
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(layout.scale[axis]) || layout.scale[axis] == 0.0 ||
            !std::isfinite(layout.offset[axis])) {
            reason = "the scale or offset is zero or not a number";
            return false;
        }
    // Trust the offset to the point data over the count of variable-length records: files
    // with a wrong count exist, a wrong offset would give no points at all.
    if (layout.dataOffset < headerSize || layout.dataOffset < kMinimumHeader) {
        reason = "the offset to the point data lies inside the header";
        return false;
    }
    layout.rgbOffset = kRgbOffset[layout.pointFormat];
    return true;
}

std::string lasFormatLine(const char* family, const LasLayout& layout) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %d.%d, point format %d", family, layout.versionMajor,
                  layout.versionMinor, layout.pointFormat);
    return line;
}

ReadResult readLas(const ReadRequest& request) {
    ReadResult result;
    LasLayout layout;
    std::string reason;
    if (!parseLasHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    result.format = lasFormatLine("LAS", layout);
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.declared, INT64_MAX));

    const uint64_t available = layout.dataOffset >= request.size
                                   ? 0
                                   : (request.size - layout.dataOffset) / layout.recordLength;
    const int64_t count = static_cast<int64_t>(std::min<uint64_t>(layout.declared, available));
    result.points = allocatePoints(count);
    if (!result.points) {
        result.status = ReadStatus::CannotAllocate;
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();
    if (static_cast<uint64_t>(count) < layout.declared)
        result.message = "the file ends after " + std::to_string(count) + " complete records";
    decodeLasRecords(layout, request.bytes + layout.dataOffset, count, request.threads, result);
    return result;
}

void decodeLasRecords(const LasLayout& layout, const unsigned char* records, int64_t count,
                      int threads, ReadResult& result) {
    // A georeferenced header box puts the provisional shift near the cloud before any record is
    // decoded; settleShift moves it to the real box's centre.
    double centre[3];
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = (layout.low[axis] + layout.high[axis]) * 0.5;
    double shift[3];
    provisionalShift(centre, shift);
    double offset[3];
    for (int axis = 0; axis < 3; ++axis)
        offset[axis] = layout.offset[axis] - shift[axis];

    const size_t stride = layout.recordLength;
    const int rgb = layout.rgbOffset;
    // Colours that never exceed 255 are 8-bit values in the 16-bit fields. A 16-bit file shows
    // a larger value within its first records, so the look ahead is short but for 8-bit files.
    std::atomic<bool> wide{false};
    if (rgb >= 0)
        runInParts(count, threads, [&](int64_t begin, int64_t end, int) {
            for (int64_t i = begin; i < end; ++i) {
                const unsigned char* record = records + static_cast<size_t>(i) * stride + rgb;
                if (std::max({loadLittle<uint16_t>(record), loadLittle<uint16_t>(record + 2),
                              loadLittle<uint16_t>(record + 4)}) > 255) {
                    wide.store(true, std::memory_order_relaxed);
                    return;
                }
                if ((i & 4095) == 0 && wide.load(std::memory_order_relaxed))
                    return;
            }
        }, kSmallestReadPart);
    const float scale = wide.load() ? 1.0f / 65535.0f : 1.0f / 255.0f;
    PointRecord* points = result.points;
    result.colour = rgb >= 0 ? ColourKind::Rgb : ColourKind::Intensity;
    // Integer positions are never dropped.
    decodeInParts(result, count, threads, shift, [&](int64_t begin, int64_t end) {
        const double sx = layout.scale[0], sy = layout.scale[1], sz = layout.scale[2];
        PartFound found;
        for (int64_t i = begin; i < end; ++i) {
            const unsigned char* record = records + static_cast<size_t>(i) * stride;
            PointRecord& p = points[i];
            p.x = static_cast<float>(loadLittle<int32_t>(record) * sx + offset[0]);
            p.y = static_cast<float>(loadLittle<int32_t>(record + 4) * sy + offset[1]);
            p.z = static_cast<float>(loadLittle<int32_t>(record + 8) * sz + offset[2]);
            if (rgb >= 0) {
                p.r = loadLittle<uint16_t>(record + rgb) * scale;
                p.g = loadLittle<uint16_t>(record + rgb + 2) * scale;
                p.b = loadLittle<uint16_t>(record + rgb + 4) * scale;
            } else {
                p.r = p.g = p.b = loadLittle<uint16_t>(record + 12);
            }
            found.box.add(p);
        }
        return found;
    });
}
