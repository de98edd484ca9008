// io/ply/ply_reader.h - PLY: ascii, binary little- and big-endian, the vertex element among any
// others.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

bool hasPlySignature(const unsigned char* head, size_t size);

// The vertex element's x, y, z and colour: red/green/blue or diffuse_red/..., as uchar or
// ushort (scaled to 0..1) or float; else the f_dc_0..2 of Gaussian splats; else intensity
// as grey. Other elements and properties, lists included, are skipped.
ReadResult readPly(const ReadRequest& request);
