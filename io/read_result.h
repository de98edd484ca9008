// io/read_result.h - what a reader hands back, and how far a read has got while it runs.
#pragma once

#include "io/point_records.h"

#include <cstdint>
#include <string>

// How far a body has been read.
struct ReadProgress {
    int64_t bytesRead = 0;  // of the file, header included
    int64_t bytesTotal = 0; // the file's size when it was opened; 0 when it isn't a regular file
    int64_t pointsRead = 0; // complete records so far
};

enum class ReadStatus {
    Read,           // points holds count records; the file may have been cut short (see expected)
    CannotOpen,     // the file is missing, unreadable or a directory
    CannotAllocate, // the records cannot be had (for the native format also a negative count)
    Refused,        // nothing can be read: unknown format, bad header, unsupported variant
};

// Where the colours come from. Intensity: the reader leaves each point's raw intensity in r,
// and the loading code turns it into grey scaled over the file's range. None: the loading code
// paints a height ramp along z.
enum class ColourKind { Rgb, Intensity, None };

// Where a depth camera stood, in the file's frame: a point p of the sensor's frame (x right,
// y down, z forward) is at rotation(p) + translation, rotation a unit quaternion w x y z.
struct SensorPose {
    double translation[3] = {0.0, 0.0, 0.0};
    double rotation[4] = {1.0, 0.0, 0.0, 0.0};
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
    // Refused: the one-line reason, naming the file, the format and what is wrong. Read: what
    // cut the read short (a bad record, the end of the file), empty when nothing did.
    std::string message;
    ColourKind colour = ColourKind::Rgb;
    // File coordinates are the stored ones plus shift, chosen once per file so that large
    // georeferenced coordinates keep their precision in 32 bits.
    bool shifted = false;
    double shift[3] = {0.0, 0.0, 0.0};
    // The variant read, for pointillist-info's format line: "LAS 1.2, point format 3".
    std::string format;
    // An organised cloud, row by row as a depth camera saw it (a PCD file of HEIGHT > 1), with
    // the sensor's pose (PCD's VIEWPOINT), by which the viewer starts looking as it looked.
    bool organised = false;
    SensorPose viewpoint;
};
