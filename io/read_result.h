// io/read_result.h - what a reader hands back, and how far a read has got while it runs.
#pragma once

#include "io/point_attributes.h"
#include "io/point_records.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How far a body has been read.
struct ReadProgress {
    int64_t bytesRead = 0;  // of the file, header included
    int64_t bytesTotal = 0; // the file's size when it was opened; 0 when it isn't a regular file
    int64_t pointsRead = 0; // complete records so far
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
    // The variant read, for pointillist-info's format line: "LAS 1.2, point format 3".
    std::string format;
    // Why the colour kind is not what the file's fields promise ("RGB fields all zero"), for
    // pointillist-info's colour line; empty when it is.
    std::string colourNote;
    // What the file says that its points contradict ("header box differs from the points"),
    // for pointillist-info's warning lines.
    std::vector<std::string> warnings;
    // The step between the coordinates the file can hold (a LAS file's scale), per axis; 0
    // when the format has none.
    double resolution[3] = {0.0, 0.0, 0.0};
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
