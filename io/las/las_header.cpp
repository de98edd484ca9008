// io/las/las_header.cpp - the LAS signatures and the public header block.
#include "io/las/las_layout.h"
#include "io/las/las_reader.h"

#include "io/byte_order.h"

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
    layout.globalEncoding = loadLittle<uint16_t>(bytes + 6);
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
