// io/copc/copc_reader.h - an octree file read whole, node by node: the loader's entry point.
#pragma once

#include "io/copc/copc_file.h"
#include "io/format_reader.h"

// Every node of the index decoded on the request's threads and read as LAS, in file order: the
// same points in the same order, box, shift and colours as reading the file as plain LAZ. A damaged
// page or node loses its own points and is named in the message, one part each. A file whose
// index cannot be used at all is read as plain LAZ.
ReadResult readCopc(const ReadRequest& request);

// The same for a file already open (through any byte source: a URL's too); request's bytes are
// not used.
ReadResult readCopcFile(CopcFile& file, const ReadRequest& request);
