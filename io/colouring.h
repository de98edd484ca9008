// io/colouring.h - colours for clouds whose file gives none, or only an intensity.
#pragma once

#include "io/read_result.h"

// Turns what the reader left into colours by the result's colour kind: Intensity (raw values
// in r) becomes grey scaled over the file's min..max; None becomes a height ramp along z, from
// blue through cyan, green and yellow to red. Rgb is left alone.
void applyColourKind(ReadResult& result);
