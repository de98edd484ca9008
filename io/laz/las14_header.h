// io/laz/las14_header.h - the LAS 1.4 public header block and (extended) variable-length
// records, written from plain descriptions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every field of the 375-byte LAS 1.4 header, in file order. Strings longer than their field
// are cut; the legacy point counts (offset 107 and 111) are written as 0 for point formats 6
// and up, as LAS 1.4 asks, and from pointCount and pointsByReturn for the older formats when
// they fit in 32 bits.
struct Las14Header {
    uint16_t fileSourceId = 0;
    uint16_t globalEncoding = 0x10; // bit 4: a WKT coordinate system, asked for by formats 6-10
    uint8_t projectId[16] = {};
    std::string systemId = "OTHER";       // 32 bytes
    std::string software = "Pointillist"; // 32 bytes
    uint16_t creationDay = 0, creationYear = 0;
    uint32_t pointData = 375; // offset to point data
    uint32_t vlrCount = 0;
    uint8_t pointFormat = 6; // the format byte as stored: 0x80 marks compressed records
    uint16_t recordLength = 30;
    double scale[3] = {0.001, 0.001, 0.001};
    double offset[3] = {};
    double min[3] = {}, max[3] = {}; // written max x, min x, max y, min y, max z, min z
    uint64_t waveformStart = 0;
    uint64_t evlrStart = 0;
    uint32_t evlrCount = 0;
    uint64_t pointCount = 0;
    uint64_t pointsByReturn[15] = {};
};

constexpr uint32_t kLas14HeaderSize = 375;

// The header's 375 bytes.
std::vector<uint8_t> encodeLas14Header(const Las14Header& header);

// A variable-length record: 54 bytes of head and a payload of at most 65,535 bytes; as an
// extended one (after the point data), 60 bytes of head and any payload.
struct LasVlr {
    std::string userId; // 16 bytes
    uint16_t recordId = 0;
    std::string description; // 32 bytes
    std::vector<uint8_t> payload;
};

constexpr size_t kVlrHeadSize = 54;
constexpr size_t kEvlrHeadSize = 60;

// The record's bytes, head then payload; empty when the payload is too long for a VLR.
std::vector<uint8_t> encodeVlr(const LasVlr& vlr);
std::vector<uint8_t> encodeEvlr(const LasVlr& evlr);
