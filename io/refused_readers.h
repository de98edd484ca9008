// io/refused_readers.h - formats recognised but not read yet: each gives its one-line refusal.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

bool hasE57Signature(const unsigned char* head, size_t size);

// Compressed LAS (LAZ).
ReadResult readLaz(const ReadRequest& request);
ReadResult readE57(const ReadRequest& request);
