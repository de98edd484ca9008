// io/native/scanf_reader.h - the native "# points = N" format read with fscanf: the reference
// every faster reader of the format must equal.
#pragma once

#include "io/read_result.h"

// The straightforward reader: the header and each record read with fscanf. The native format's
// outcomes: CannotOpen (missing, unreadable, a directory), CannotAllocate (a negative count, or
// records that cannot be had), or Read with the complete records before the first record that
// does not scan completely; nothing after that record is read. A header that does not match
// gives an empty cloud. It keeps non-finite positions and never sets a message.
ReadResult readPointFileScanf(const char* path);
