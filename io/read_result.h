// io/read_result.h - what a reader hands back, and how far a read has got while it runs.
#pragma once

#include "io/point_attributes.h"
#include "io/point_records.h"
#include "io/sensor_pose.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How far a body has been read.
struct ReadProgress {
    int64_t bytesRead = 0;  // of the file, header included
    int64_t bytesTotal = 0; // the file's size when it was opened; 0 when it isn't a regular file
    int64_t pointsRead = 0; // complete records so far
};

// The box of the stored positions, gathered while they are decoded so that neither settling the
// shift nor the loading code needs a pass of its own for it.
struct StoredBox {
    float low[3] = {INFINITY, INFINITY, INFINITY};
    float high[3] = {-INFINITY, -INFINITY, -INFINITY};
    // In one order of comparison everywhere, so that ties of 0 and -0 go the same way: the
    // first one met wins, as in a pass over the records in order.
    void add(const PointRecord& p) {
        low[0] = std::min(low[0], p.x), high[0] = std::max(high[0], p.x);
        low[1] = std::min(low[1], p.y), high[1] = std::max(high[1], p.y);
        low[2] = std::min(low[2], p.z), high[2] = std::max(high[2], p.z);
    }
    // other's records come after these.
    void join(const StoredBox& other) {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], other.low[axis]);
            high[axis] = std::max(high[axis], other.high[axis]);
        }
    }
};

enum class ReadStatus {
    Read,           // points holds count records; the file may have been cut short (see expected)
    CannotOpen,     // the file is missing, unreadable or a directory
    CannotAllocate, // the records cannot be had (for the native format also a negative count);
                    // the message says how many points and bytes were asked for
    Refused,        // nothing can be read: unknown format, bad header, unsupported variant
};

// One file's read. A reader fills it and never prints or exits; the loading code turns it into
// what the user sees. Points whose x, y or z is not finite are left out and counted in dropped
// (the native format alone keeps them, as it always has).
struct ReadResult {
    ReadStatus status = ReadStatus::Read;
    PointRecord* points = nullptr; // owned by the receiver: release with releasePoints
    int64_t count = 0;             // records in points
    int64_t expected = -1;         // records the header declares; -1 when it declares none
    int64_t dropped = 0;           // records with a non-finite position, not in points
    // Refused: what is wrong, in a few words; the loading code names the file and its format
    // before it. Read: what cut the read short (a bad record, the end of the file), empty when
    // nothing did.
    std::string message;
    ColourKind colour = ColourKind::Rgb;
    // File coordinates are the stored ones plus shift, chosen once per file so that large
    // georeferenced coordinates keep their precision in 32 bits.
    bool shifted = false;
    double shift[3] = {0.0, 0.0, 0.0};
    // The box of the records in points, exactly as they are stored, when the reader gathered it
    // (all but the native reader do): the loading code then does not gather it again.
    std::optional<StoredBox> box;
    // The variant read, for pointillist-info's format line: "LAS 1.2, point format 3".
    std::string format;
    // Why the colour kind is not what the file's fields promise ("RGB fields all zero"), for
    // pointillist-info's colour line; empty when it is.
    std::string colourNote;
    // What the file says that its points contradict ("header box differs from the points"),
    // for pointillist-info's warning lines.
    std::vector<std::string> warnings;
    // The step between the coordinates the file can hold, per axis, when it stores them as
    // scaled integers (the LAS family's scale); zero when it has no such step.
    double precision[3] = {0.0, 0.0, 0.0};
    // An organised cloud, row by row as a depth camera saw it (a PCD file of HEIGHT > 1), with
    // the sensor's pose (PCD's VIEWPOINT), by which the viewer starts looking as it looked.
    bool organised = false;
    SensorPose viewpoint;
    // What the file says of each point besides position and colour, one entry per record of
    // points; empty columns for what it does not say.
    PointAttributes attributes;
};

// Storage for the points that cannot be had: how many points, and the bytes asked for.
inline void cannotAllocate(ReadResult& result, int64_t points, uint64_t bytes) {
    result.status = ReadStatus::CannotAllocate;
    result.message = "not enough memory for " + std::to_string(points) + " points (" +
                     std::to_string(bytes) + " bytes)";
}

// A file that cannot be read at all, for the reason given ("the header has no DATA line").
inline ReadResult refusal(std::string reason) {
    ReadResult result;
    result.status = ReadStatus::Refused;
    result.message = std::move(reason);
    return result;
}
