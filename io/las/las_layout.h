// io/las/las_layout.h - private to the LAS and LAZ readers: the public header block as a plain
// description, and the records decoded from it.
#pragma once

#include "io/read_result.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The header's facts the decoder needs, resolved once.
struct LasLayout {
    int versionMajor = 0, versionMinor = 0;
    int pointFormat = 0;
    uint16_t globalEncoding = 0;
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
// intensity, the shift settled; and the point format's attributes into result.attributes. Shared
// with the compressed reader, which decodes to records.
void decodeLasRecords(const LasLayout& layout, const unsigned char* records, int64_t count,
                      int threads, ReadResult& result);
