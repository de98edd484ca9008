// io/refused_readers.h - formats recognised but not read yet: each gives its one-line refusal.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

// Compressed LAS (LAZ).
ReadResult readLaz(const ReadRequest& request);
