// io/formats.h - the format table: how each format is recognised and who reads it.
#pragma once

#include "io/format.h"
#include "io/format_reader.h"

#include <cstddef>

// One row of the format table: how a file is recognised and who reads it.
struct FormatEntry {
    Format format;
    const char* noun;       // as a refusal names a file of it: "PLY file"
    const char* extensions; // lower case, each with its dot, separated by blanks: ".xyz .txt"
    // True when the first bytes carry the format's signature. Null for formats without one.
    bool (*signature)(const unsigned char* head, size_t size);
    // What a refusal of a file picked by its extension says is missing when the signature is:
    // "no LASF signature". Null for formats without one.
    const char* missingSignature;
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
// The format whose extension the path has (in any case); null when none has it.
const FormatEntry* formatByExtension(const char* path);
