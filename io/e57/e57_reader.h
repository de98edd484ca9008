// io/e57/e57_reader.h - E57 files: every scan, posed into the file's frame, as one cloud.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

bool hasE57Signature(const unsigned char* head, size_t size);

// Decodes the mapped file with the E57 decoder. Colour comes from the scans' colour fields
// scaled by their limits; a cloud without colour gets grey from intensity scaled by its
// limits, and one without either the height ramp. Records with an invalid position state or a
// non-finite coordinate count as dropped. A damaged page loses the records from it on, and the
// message says which page.
ReadResult readE57(const ReadRequest& request);
