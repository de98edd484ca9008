// io/e57/e57_decoder.h - every scan of an E57 file, decoded into points in the file's common
// frame.
#pragma once

#include "io/e57/scan_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Receives the kept points. Scans come in file order, each after its beginScan.
class E57PointSink {
public:
    virtual ~E57PointSink() = default;
    // Once the file's layout is read and it will open: before any record is read, with its
    // scans (and the records they declare).
    virtual void accepted(const FileLayout& layout) { (void)layout; }
    // Before the points of a scan that can be decoded.
    virtual void beginScan(const ScanLayout& scan) { (void)scan; }
    // xyz posed, in double precision. rgb is the 8-bit colour, or nullptr when the point has
    // none; grey is intensity scaled to 0..1, or negative when the point has none either.
    virtual void addPoint(const double xyz[3], const uint8_t* rgb, float grey) = 0;
    // Right after addPoint, for every point of a file whose scans have intensity or a class
    // field: the point's raw values, NaN where its scan lacks the field or marks it invalid.
    virtual void addAttributes(double intensity, double classification) {
        (void)intensity, (void)classification;
    }
    // Now and then, the share of the work done, from 0 up to 1 once the last scan is done.
    // Each scan's share is its part of all the records, half for reading its section and half
    // for decoding its records.
    virtual void progress(double done) { (void)done; }
};

struct E57Decoded {
    // False when the file was refused as a whole: message says why and no point was given.
    bool readable = false;
    // One line on what was refused, skipped or lost; empty when everything was read.
    std::string message;
    size_t scans = 0;          // scans in the file, decodable or not
    uint64_t recordCount = 0;  // records the scans declare
    uint64_t recordsRead = 0;  // records decoded, before dropping any
    uint64_t kept = 0;         // points handed to the sink
    uint64_t invalid = 0;      // dropped for their invalid state
    uint64_t nonFinite = 0;    // dropped for a NaN or infinite coordinate
    bool anyColour = false;    // some kept point had a colour
    bool anyIntensity = false; // some kept point had a grey level
    bool checksumFailed = false;
};

// The mapped file's bytes in; never prints, never reads outside them.
E57Decoded decodeE57(const uint8_t* bytes, size_t size, E57PointSink& sink);
