// io/formats.h - the formats the readers know, and the pick of a reader for a file.
#pragma once

#include "io/format_reader.h"

#include <cstddef>

enum class Format {
    Native,     // "# points = N", then six numbers a record
    Ply,        // ascii and binary
    Las,        // uncompressed LAS 1.0 to 1.4
    Laz,        // compressed LAS
    Copc,       // compressed LAS 1.4 laid out as an octree of chunks, with its index
    Pcd,        // ascii, binary, binary_compressed
    E57,        // scans: checksummed pages, an XML description, compressed vectors
    Pts,        // a count line, then x y z intensity [r g b]
    Obj,        // the v statements
    ColumnText, // x y z [intensity] [r g b] in columns
};

// One row of the format table: how a file is recognised and who reads it.
struct FormatEntry {
    Format format;
    const char* name;       // as messages name it: "PLY"
    const char* extensions; // lower case, each with its dot, separated by blanks: ".xyz .txt"
    // True when the first bytes carry the format's signature. Null for formats without one.
    bool (*signature)(const unsigned char* head, size_t size);
    // A weaker look at the first bytes, tried after signatures and extensions have failed.
    bool (*resembles)(const unsigned char* head, size_t size);
    ReadFunction read;
};

// The reader for a file: by signature first, then by extension, then by resemblance. The head
// is the file's first bytes (all of it when shorter). A file that cannot be mapped (mapped
// false: a pipe) goes to the native reader. Null when nothing fits.
const FormatEntry* pickFormat(const char* path, const unsigned char* head, size_t size,
                              bool mapped);

const FormatEntry& formatEntry(Format format);
