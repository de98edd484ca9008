// io/laz/compression_record.cpp - standard item lists and the record's payload.
#include "io/laz/compression_record.h"

#include "io/byte_order.h"

bool layeredLazLayout(int pointFormat, uint32_t recordLength, uint32_t chunkSize, LazLayout& layout,
                      uint16_t version) {
    if (pointFormat < 6 || pointFormat > 8 || (version != 3 && version != 4))
        return false;
    LazLayout made;
    made.compressor = 3;
    made.chunkSize = chunkSize;
    made.items.push_back({LazItemType::Point14, 30, version});
    if (pointFormat == 7)
        made.items.push_back({LazItemType::Rgb14, 6, version});
    else if (pointFormat == 8)
        made.items.push_back({LazItemType::RgbNir14, 8, version});
    const uint32_t standard = pointFormat == 6 ? 30 : pointFormat == 7 ? 36 : 38;
    // A record is at most 65,535 bytes (the header's field), and so is an item.
    if (recordLength < standard || recordLength > 0xFFFF)
        return false;
    if (recordLength > standard)
        made.items.push_back({LazItemType::Byte14, uint16_t(recordLength - standard), version});
    made.recordLength = recordLength;
    layout = made;
    return true;
}

int layeredPointFormat(const LazLayout& layout) {
    if (!layout.layered() || layout.items.empty() || layout.items[0].type != LazItemType::Point14)
        return 0;
    if (layout.items.size() == 1 || layout.items[1].type == LazItemType::Byte14)
        return 6;
    if (layout.items[1].type == LazItemType::Rgb14)
        return 7;
    return layout.items[1].type == LazItemType::RgbNir14 ? 8 : 0;
}

std::vector<uint8_t> encodeLazLayout(const LazLayout& layout) {
    std::vector<uint8_t> out(34 + 6 * layout.items.size(), 0);
    uint8_t* p = out.data();
    storeLittle(p, layout.compressor);
    storeLittle(p + 2, uint16_t(0)); // the arithmetic coder, the only one
    // The encoder version readers expect of files with these items; it changes nothing in
    // the encoding.
    p[4] = 3;
    p[5] = 4;
    storeLittle(p + 6, uint16_t(3));
    storeLittle(p + 8, uint32_t(0)); // options
    storeLittle(p + 12, layout.variableChunks() ? 0xFFFFFFFFu : layout.chunkSize);
    storeLittle(p + 16, int64_t(-1)); // special EVLRs: none
    storeLittle(p + 24, int64_t(-1));
    storeLittle(p + 32, uint16_t(layout.items.size()));
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const LazItem& item = layout.items[i];
        storeLittle(p + 34 + 6 * i, uint16_t(item.type));
        storeLittle(p + 36 + 6 * i, item.size);
        storeLittle(p + 38 + 6 * i, item.version);
    }
    return out;
}

LasVlr lazVlr(const LazLayout& layout) {
    LasVlr vlr;
    vlr.userId = kLazVlrUserId;
    vlr.recordId = kLazVlrRecordId;
    vlr.description = "Pointillist compressed points";
    vlr.payload = encodeLazLayout(layout);
    return vlr;
}
