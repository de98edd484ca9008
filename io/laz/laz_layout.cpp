// io/laz/laz_layout.cpp - checking the compression record before any chunk is touched.
#include "io/laz/laz_layout.h"

#include <cstring>

namespace {

uint16_t u16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p) {
    return uint32_t(u16(p)) | (uint32_t(u16(p + 2)) << 16);
}

// The item size each fixed item must have; 0 for the variable-sized extra bytes.
uint16_t fixedSize(LazItemType type) {
    switch (type) {
        case LazItemType::Point10:
            return 20;
        case LazItemType::GpsTime11:
            return 8;
        case LazItemType::Rgb12:
            return 6;
        case LazItemType::Point14:
            return 30;
        case LazItemType::Rgb14:
            return 6;
        case LazItemType::RgbNir14:
            return 8;
        default:
            return 0;
    }
}

bool isPointwiseItem(LazItemType t) {
    return t == LazItemType::Point10 || t == LazItemType::GpsTime11 || t == LazItemType::Rgb12 ||
           t == LazItemType::Byte;
}

bool isLayeredItem(LazItemType t) {
    return t == LazItemType::Point14 || t == LazItemType::Rgb14 || t == LazItemType::RgbNir14 ||
           t == LazItemType::Byte14;
}

} // namespace

const char* lazItemName(LazItemType type) {
    switch (type) {
        case LazItemType::Byte:
            return "BYTE";
        case LazItemType::Point10:
            return "POINT10";
        case LazItemType::GpsTime11:
            return "GPSTIME11";
        case LazItemType::Rgb12:
            return "RGB12";
        case LazItemType::Wavepacket13:
            return "WAVEPACKET13";
        case LazItemType::Point14:
            return "POINT14";
        case LazItemType::Rgb14:
            return "RGB14";
        case LazItemType::RgbNir14:
            return "RGBNIR14";
        case LazItemType::Wavepacket14:
            return "WAVEPACKET14";
        case LazItemType::Byte14:
            return "BYTE14";
    }
    return "unknown";
}

std::string parseLazLayout(const uint8_t* p, size_t size, int pointFormat, uint32_t recordLength,
                           LazLayout& layout) {
    if (pointFormat == 4 || pointFormat == 5 || pointFormat == 9 || pointFormat == 10)
        return "point format " + std::to_string(pointFormat) +
               " carries waveforms, which are not supported in compressed files";
    if (size < 34)
        return "its compression record is too short";
    const uint32_t itemCount = u16(p + 32);
    if (size < 34 + 6 * size_t(itemCount))
        return "its compression record is too short for its " + std::to_string(itemCount) +
               " items";
    layout = LazLayout();
    layout.compressor = u16(p);
    if (layout.compressor == 0)
        return "its compression record says the points are not compressed";
    if (layout.compressor > 3)
        return "it uses an unknown compressor (" + std::to_string(layout.compressor) + ")";
    if (u16(p + 2) != 0)
        return "it uses an unknown coder (" + std::to_string(u16(p + 2)) + ")";
    const uint32_t chunkSize = u32(p + 12);
    layout.chunkSize = chunkSize == 0xFFFFFFFFu ? 0 : chunkSize;
    if (itemCount == 0)
        return "its compression record lists no items";

    uint32_t total = 0;
    for (uint32_t i = 0; i < itemCount; ++i) {
        const uint8_t* q = p + 34 + 6 * i;
        LazItem item;
        item.type = LazItemType(u16(q));
        item.size = u16(q + 2);
        item.version = u16(q + 4);
        const bool pointwise = isPointwiseItem(item.type);
        const bool layered = isLayeredItem(item.type);
        if (item.type == LazItemType::Wavepacket13 || item.type == LazItemType::Wavepacket14)
            return "waveform items are not supported";
        if (!pointwise && !layered)
            return "it has an item of unknown type " + std::to_string(u16(q));
        const std::string name = lazItemName(item.type);
        if (pointwise && item.version != 2)
            return name + " item version " + std::to_string(item.version) +
                   " is not supported (only version 2)";
        // Version 2 of the layered items is read as version 3.
        if (layered && item.version == 2)
            item.version = 3;
        if (layered && item.version != 3 && item.version != 4)
            return name + " item version " + std::to_string(item.version) +
                   " is not supported (only versions 3 and 4)";
        if (pointwise != (layout.compressor != 3))
            return name + " items do not fit compressor " + std::to_string(layout.compressor);
        const uint16_t want = fixedSize(item.type);
        if ((want != 0 && item.size != want) || item.size == 0)
            return name + " item has size " + std::to_string(item.size);
        const bool core = item.type == LazItemType::Point10 || item.type == LazItemType::Point14;
        if (core != (i == 0))
            return "its items do not start with the point core";
        for (const LazItem& earlier : layout.items)
            if (earlier.type == item.type)
                return "it lists the " + name + " item twice";
        total += item.size;
        layout.items.push_back(item);
    }
    if (total != recordLength)
        return "its items add up to " + std::to_string(total) + " bytes but records have " +
               std::to_string(recordLength);
    layout.recordLength = recordLength;
    return std::string();
}
