// io/las/laz_reader.h - compressed LAS: the chunks decoded to LAS records, then read as LAS.
#pragma once

#include "io/format_reader.h"

// Point formats 0 to 3 and 6 to 8. A chunk that is corrupt or cut short loses only its own
// points; the message then says how many points were expected and how many were read.
ReadResult readLaz(const ReadRequest& request);
