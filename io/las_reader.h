// io/las_reader.h - LAS 1.0 to 1.4, point data formats 0 to 10, uncompressed.
#pragma once

#include "io/format_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

// "LASF" with an uncompressed point data format; compressed files belong to the LAZ entry.
bool hasLasSignature(const unsigned char* head, size_t size);
// "LASF" with the point format's compression bits set.
bool hasLazSignature(const unsigned char* head, size_t size);

// The header's facts the decoder needs, resolved once.
struct LasLayout {
    int versionMajor = 0, versionMinor = 0;
    int pointFormat = 0;
    uint64_t dataOffset = 0;
    uint32_t recordLength = 0;
    uint64_t declared = 0;
    double scale[3] = {}, offset[3] = {};
    double low[3] = {}, high[3] = {}; // the header's box, not always tight
    int rgbOffset = -1;               // within a record; -1 without colour
};

// Parses the public header block; false with a one-line reason when it cannot be read.
bool parseLasHeader(const unsigned char* bytes, size_t size, LasLayout& layout,
                    std::string& reason);

// pointillist-info's format line: "LAS 1.2, point format 3", or with "LAZ" as the family.
std::string lasFormatLine(const char* family, const LasLayout& layout);

// Turns count records of the layout, laid out at its record length from records, into
// result.points (allocated for count): scale and offset in double precision, colour or
// intensity, the shift settled. Shared with the compressed reader, which decodes to records.
void decodeLasRecords(const LasLayout& layout, const unsigned char* records, int64_t count,
                      int threads, ReadResult& result);

// Scale and offset in double precision, the header's record length as the stride, RGB where
// the format has it (16-bit, or 8-bit when no value exceeds 255), intensity otherwise.
ReadResult readLas(const ReadRequest& request);
