// io/pcd/pcd_reader.h - PCD, v0.7 and the older headers: ascii, binary and binary_compressed.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

// The header keys, one per line at the start (comments allowed): "# .PCD", VERSION or FIELDS.
bool hasPcdSignature(const unsigned char* head, size_t size);

// x, y, z of any size and type; colour from rgb (a float whose bits are 0x00RRGGBB) or rgba (a
// uint holding the same word); intensity as grey. NaN positions (holes in organised clouds)
// are dropped and counted. A cloud of more than one row (HEIGHT) is organised, with VIEWPOINT
// the sensor's pose.
ReadResult readPcd(const ReadRequest& request);
