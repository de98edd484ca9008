// io/laz/laz_layout.h - what the compression record says about a file's point records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class LazItemType : uint16_t {
    Byte = 0,
    Point10 = 6,
    GpsTime11 = 7,
    Rgb12 = 8,
    Wavepacket13 = 9,
    Point14 = 10,
    Rgb14 = 11,
    RgbNir14 = 12,
    Wavepacket14 = 13,
    Byte14 = 14,
};

struct LazItem {
    LazItemType type = LazItemType::Byte;
    uint16_t size = 0;
    uint16_t version = 0;
};

// The compression record's payload, checked against the header's point format and record
// length. Records are the items' bytes back to back, in list order.
struct LazLayout {
    uint16_t compressor = 0; // 1 one stream, 2 pointwise chunks, 3 layered chunks
    uint32_t chunkSize = 0;  // points per chunk; 0 when each chunk's count is in the table
    std::vector<LazItem> items;
    uint32_t recordLength = 0;

    bool layered() const { return compressor == 3; }
    bool variableChunks() const { return chunkSize == 0; }
};

// The user id and record id of the compression record among a file's VLRs.
constexpr const char* kLazVlrUserId = "laszip encoded";
constexpr uint16_t kLazVlrRecordId = 22204;

// Fills layout from the payload, or returns a one-line reason the file can't be decoded
// (unknown compressor, waveform or version-1 items, sizes that don't add up).
std::string parseLazLayout(const uint8_t* payload, size_t size, int pointFormat,
                           uint32_t recordLength, LazLayout& layout);

// "POINT10", "RGB14", ... for messages.
const char* lazItemName(LazItemType type);
