// io/colouring.h - colours for clouds whose file gives none, or only an intensity.
#pragma once

#include "io/read_result.h"

// Turns what the reader left into colours by the result's colour kind: Intensity (raw values
// in r) becomes grey, None a height ramp along z from blue through cyan, green and yellow to
// red, each over the values' ramp span (see rampSpan): outliers saturate at black and white,
// blue and red. Rgb is left alone.
void applyColourKind(ReadResult& result);

// The height ramp's colour at t (0 at the bottom, 1 at the top; beyond them the ends) into p.
void heightRampColour(float t, PointRecord& p);
