// io/format.h - the formats the readers know, by name alone.
#pragma once

enum class Format {
    Native,     // "# points = N", then six numbers a record
    Ply,        // ascii and binary
    Las,        // uncompressed LAS 1.0 to 1.4
    Laz,        // compressed LAS
    Copc,       // compressed LAS 1.4 laid out as an octree of chunks, with its index
    Ept,        // a folder of node files under ept.json, its hierarchy in JSON files
    Pcd,        // ascii, binary, binary_compressed
    E57,        // scans: checksummed pages, an XML description, compressed vectors
    Pts,        // a count line, then x y z intensity [r g b]
    Obj,        // the v statements
    ColumnText, // x y z [intensity] [r g b] in columns
};
