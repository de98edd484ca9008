// io/copc/copc_points.h - a node's records as the viewer's points, against one shift for the
// whole file.
#pragma once

#include "io/copc/copc_file.h"
#include "io/las/las_record.h"
#include "io/point_records.h"
#include "io/read_result.h"

#include <cstdint>

// The shift for a whole octree file, chosen before any node is decoded: the one a whole read
// settles on (the rounded box centre, when the coordinates need one), taken from the header's
// box. False, with a zero shift, when none is needed.
bool chooseCopcShift(const CopcFile& file, double shift[3]);

// Turns records of one file into points stored as float(file - shift), with the file's one
// colour decision. Holds nothing that changes, so every decoding thread may share one.
class CopcPointConverter {
public:
    CopcPointConverter(const CopcFile& file, const double shift[3]);
    // Rgb for point formats 7 and 8; Intensity for 6, whose raw intensity is left in r, g and
    // b for the caller to scale.
    ColourKind colour() const { return colour_; }
    void convert(const uint8_t* records, uint64_t count, PointRecord* out) const;

private:
    uint32_t stride_;
    LasPointConversion conversion_;
    ColourKind colour_;
};
