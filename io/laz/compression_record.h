// io/laz/compression_record.h - the layout of compressed LAS 1.4 records and the compression
// record (VLR) that declares it: the writing side of laz_layout.h.
#pragma once

#include "io/laz/las14_header.h"
#include "io/laz/laz_layout.h"

#include <cstdint>
#include <vector>

// Points per chunk when a file's chunks all hold the same number.
constexpr uint32_t kLazDefaultChunkSize = 50000;

// The layout of point format 6 (POINT14), 7 (and RGB14) or 8 (and RGBNIR14) with records of
// recordLength bytes, any bytes past the format's own going to a last BYTE14 item; items of
// `version` (3, which every reader knows, or 4). chunkSize is the points per chunk, or 0 for
// chunks whose counts vary and are kept in the chunk table (as octree files have, one chunk per
// node). False for another format or version, or records too short or too long.
bool layeredLazLayout(int pointFormat, uint32_t recordLength, uint32_t chunkSize, LazLayout& layout,
                      uint16_t version = 3);

// The point format a layered layout's items make (6, 7 or 8); 0 for any other layout.
int layeredPointFormat(const LazLayout& layout);

// The compression record's payload (34 + 6 bytes per item), which parseLazLayout reads back
// into the layout: compressor, coder 0, the version of the encoder, chunk size (0xFFFFFFFF for
// variable chunks), no special EVLRs, the items.
std::vector<uint8_t> encodeLazLayout(const LazLayout& layout);

// The whole compression record: user id "laszip encoded", record id 22204, that payload.
LasVlr lazVlr(const LazLayout& layout);
