// io/obj_reader.h - the vertices of a Wavefront OBJ file.
#pragma once

#include "io/format_reader.h"

// "v x y z" and "v x y z r g b" lines (colours 0..1, or 0..255 when any exceeds 1); every
// other statement is skipped.
ReadResult readObj(const ReadRequest& request);
