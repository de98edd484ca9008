// io/laz/las14_header.cpp - little-endian fields at their LAS 1.4 offsets.
#include "io/laz/las14_header.h"

#include "io/byte_order.h"

#include <cstring>

namespace {

// NUL-padded to the field's width, cut if longer.
void putText(uint8_t* at, const std::string& text, size_t width) {
    std::memcpy(at, text.data(), text.size() < width ? text.size() : width);
}

std::vector<uint8_t> vlrHead(const LasVlr& vlr, size_t size) {
    std::vector<uint8_t> out(size, 0);
    putText(out.data() + 2, vlr.userId, 16);
    storeLittle(out.data() + 18, vlr.recordId);
    if (size == kVlrHeadSize)
        storeLittle(out.data() + 20, uint16_t(vlr.payload.size()));
    else
        storeLittle(out.data() + 20, uint64_t(vlr.payload.size()));
    putText(out.data() + size - 32, vlr.description, 32);
    out.insert(out.end(), vlr.payload.begin(), vlr.payload.end());
    return out;
}

} // namespace

std::vector<uint8_t> encodeLas14Header(const Las14Header& h) {
    std::vector<uint8_t> out(kLas14HeaderSize, 0);
    uint8_t* p = out.data();
    std::memcpy(p, "LASF", 4);
    storeLittle(p + 4, h.fileSourceId);
    storeLittle(p + 6, h.globalEncoding);
    std::memcpy(p + 8, h.projectId, 16);
    p[24] = 1;
    p[25] = 4;
    putText(p + 26, h.systemId, 32);
    putText(p + 58, h.software, 32);
    storeLittle(p + 90, h.creationDay);
    storeLittle(p + 92, h.creationYear);
    storeLittle(p + 94, uint16_t(kLas14HeaderSize));
    storeLittle(p + 96, h.pointData);
    storeLittle(p + 100, h.vlrCount);
    p[104] = h.pointFormat;
    storeLittle(p + 105, h.recordLength);
    if ((h.pointFormat & 0x3F) < 6 && h.pointCount <= 0xFFFFFFFFu) {
        storeLittle(p + 107, uint32_t(h.pointCount));
        for (int i = 0; i < 5; ++i)
            if (h.pointsByReturn[i] <= 0xFFFFFFFFu)
                storeLittle(p + 111 + 4 * i, uint32_t(h.pointsByReturn[i]));
    }
    for (int i = 0; i < 3; ++i) {
        storeLittle(p + 131 + 8 * i, h.scale[i]);
        storeLittle(p + 155 + 8 * i, h.offset[i]);
        storeLittle(p + 179 + 16 * i, h.max[i]);
        storeLittle(p + 187 + 16 * i, h.min[i]);
    }
    storeLittle(p + 227, h.waveformStart);
    storeLittle(p + 235, h.evlrStart);
    storeLittle(p + 243, h.evlrCount);
    storeLittle(p + 247, h.pointCount);
    for (int i = 0; i < 15; ++i)
        storeLittle(p + 255 + 8 * i, h.pointsByReturn[i]);
    return out;
}

std::vector<uint8_t> encodeVlr(const LasVlr& vlr) {
    if (vlr.payload.size() > 0xFFFF)
        return std::vector<uint8_t>();
    return vlrHead(vlr, kVlrHeadSize);
}

std::vector<uint8_t> encodeEvlr(const LasVlr& evlr) {
    return vlrHead(evlr, kEvlrHeadSize);
}
