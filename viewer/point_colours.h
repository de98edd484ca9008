// viewer/point_colours.h - the colours the points are drawn in, by colour mode.
#pragma once

#include "io/point_cloud.h"
#include "io/ramp_span.h"
#include "viewer/attribute_colours.h"
#include "viewer/display_settings.h"

#include <cstdint>
#include <memory>

// The height ramp from 0 to 1: blue, cyan, green, yellow, red. Height mode runs it along z over
// the cloud's ramp span (see rampSpan); a cloud without height is green.
void heightColour(double t, unsigned char rgb[3]);

// What the height and intensity colours run over.
struct ColourRamps {
    RampSpan height;
    IntensityRange intensity;
};

// The colours of count points in mode (any but ColourMode::File), three bytes a point into out,
// from the points and their attributes, which must have the mode's column.
void colourByMode(const PointRecord* points, const PointAttributes& attributes, int64_t count,
                  ColourMode mode, const ColourRamps& ramps, unsigned char* out);

// Colours computed for a mode other than the file's, three bytes a point. Only the latest
// mode's array is kept: at tens of millions of points each costs as much as a tenth of the
// points themselves.
class PointColours {
public:
    // The array for mode, made on first use; nullptr for ColourMode::File, whose colours are in
    // the records, for a mode whose attribute the cloud lacks, and when the array cannot be
    // allocated. The intensity and height ramps run over rampsOf's values (null: the cloud's),
    // so that a sample of a cloud is coloured as the cloud is.
    const unsigned char* colours(const PointCloud& cloud, ColourMode mode,
                                 const PointCloud* rampsOf = nullptr);
    void release();
    // The set's intensity percentiles (see intensityRange) and the z its height ramp runs
    // between, each counted once per set; the fixed ones once fixRamps is called.
    IntensityRange intensityRangeOf(const PointCloud& set);
    RampSpan heightSpanOf(const PointCloud& set);
    // For a cloud whose records are not all held at once (a streamed file): the ramps its parts
    // are coloured by, which the legend then shows.
    void fixRamps(const ColourRamps& ramps);

private:
    std::unique_ptr<unsigned char[]> rgb_;
    IntensityRange range_;
    const PointRecord* rangePoints_ = nullptr;
    RampSpan heightSpan_;
    const PointRecord* heightPoints_ = nullptr;
    bool rampsFixed_ = false;
    ColourMode mode_ = ColourMode::File;
    const PointRecord* points_ = nullptr;
    int64_t count_ = 0;
};
