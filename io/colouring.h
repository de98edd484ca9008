// io/colouring.h - colours for clouds whose file gives none, or only an intensity.
#pragma once

#include "io/read_result.h"

#include <cstdint>
#include <vector>

// Turns what the reader left into colours by the result's colour kind: Intensity (raw values
// in r) becomes grey, None a height ramp along z from blue through cyan, green and yellow to
// red, each over the values' ramp span (see rampSpan): outliers saturate at black and white,
// blue and red. Rgb is left alone.
void applyColourKind(ReadResult& result);

// The height ramp's colour at t (0 at the bottom, 1 at the top; beyond them the ends) into p.
void heightRampColour(float t, PointRecord& p);
// Records [first, first + count) of a cloud.
struct RecordRun {
    int64_t first = 0;
    int64_t count = 0;
};
// The same over several runs of records of one colour kind, ramped together: the files of a
// scene that lack colours, so that their ramp runs over all of them as over one file.
void applyColourKind(PointRecord* points, const std::vector<RecordRun>& runs, ColourKind kind);
