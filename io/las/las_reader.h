// io/las/las_reader.h - LAS 1.0 to 1.4, point data formats 0 to 10, uncompressed.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

// "LASF" with an uncompressed point data format; compressed files belong to the LAZ entry.
bool hasLasSignature(const unsigned char* head, size_t size);
// "LASF" with the point format's compression bits set.
bool hasLazSignature(const unsigned char* head, size_t size);

// Scale and offset in double precision, the header's record length as the stride, RGB where
// the format has it (16-bit, or 8-bit when no value exceeds 255), intensity otherwise.
ReadResult readLas(const ReadRequest& request);
