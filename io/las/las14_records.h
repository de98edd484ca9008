// io/las/las14_records.h - a cloud's points as LAS 1.4 point records (formats 6 and 7): the
// scale and offset chosen for the cloud, and the records made a run at a time.
#pragma once

#include "io/laz/las14_header.h"
#include "io/point_cloud.h"

#include <cstdint>
#include <limits>

// How a cloud's points become records: format 7 (RGB after the 30 bytes of format 6) when the
// colours came from the file, else 6; file coordinate = integer * scale + offset per axis; GPS
// times as adjusted standard time or seconds of the week, as the cloud's file had them.
struct Las14Frame {
    int pointFormat = 6;
    uint32_t recordLength = 30;
    double scale[3] = {0.001, 0.001, 0.001};
    double offset[3] = {};
    bool gpsStandardTime = false;
};

// The frame for a cloud at this scale: the format its colours ask for, the offset the cloud's
// shift, so that the stored floats become the integers with one multiplication.
Las14Frame las14FrameAt(const PointCloud& cloud, const double scale[3]);

// Moves the offset, on each axis whose scale is the file's own step and whose points lie on
// that step's grid, onto the grid, so that no point is rounded to a neighbouring step.
void moveOffsetsOntoFileGrid(const PointCloud& cloud, Las14Frame& frame);

// The frame of the compressed writers, which gain from a coarse grid: las14FrameAt's, at a
// scale chosen for the whole cloud. The scale is the file's (the cloud's precision) when the
// points lie on its grid and the integers fit, the offset then moved onto that grid. Failing
// that, the coarsest power of ten (1 at most) on whose grid the points lie, as they do from text
// with a fixed number of decimals; failing that too, the largest power of ten within a float's
// step at the cloud's largest stored coordinate, so that writing keeps what the floats hold.
Las14Frame chooseLas14Frame(const PointCloud& cloud);

// What records made so far add up to, for the header and an octree file's info record.
struct Las14Tally {
    static constexpr int32_t kNone = std::numeric_limits<int32_t>::max();
    uint64_t points = 0;
    int32_t low[3] = {kNone, kNone, kNone}; // the integer box
    int32_t high[3] = {-kNone, -kNone, -kNone};
    uint64_t byReturn[15] = {};
    double gpsLow = std::numeric_limits<double>::infinity();
    double gpsHigh = -std::numeric_limits<double>::infinity();

    void add(const uint8_t* record);
    void join(const Las14Tally& other);
};

// Moves the records whose position is finite (the only ones records can hold) to the front,
// in their order, their attributes with them; returns how many there are.
int64_t moveFiniteFirst(PointCloud& cloud);

// Records [first, first + count) of the cloud into out (count * frame.recordLength bytes),
// tallied. Positions must be finite (a position beyond the integers' range is clamped to it).
// What the cloud has no column for is written as: intensity 0, return 1 of 1, class 0 (never
// classified), no flags, scan angle 0, user data 0, point source 0, GPS time 0.
void makeLas14Records(const PointCloud& cloud, const Las14Frame& frame, int64_t first,
                      int64_t count, uint8_t* out, Las14Tally& tally);

// The header's scale, offset, box, counts by return and kind of GPS time for records of this
// frame and tally; the box of no records is all zero. The rest of the header is left as it is.
void describeLas14Records(const Las14Frame& frame, const Las14Tally& tally, Las14Header& header);
