// io/native/native_reader.h - the native format behind the reader interface.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

// "# points" after optional white space, in any case: every file that starts so is native,
// including those whose header the native reader then finds wrong and reads as empty.
bool hasNativeSignature(const unsigned char* head, size_t size);

// The fast reader on the mapped bytes (by path for a pipe), with the native format's outcomes:
// CannotOpen, CannotAllocate (a negative or unallocatable count), or Read with the complete
// records before the first record that does not scan. It keeps non-finite positions and never
// sets a message.
ReadResult readNative(const ReadRequest& request);
