// io/e57/section_streams.h - the bytestreams of a compressed-vector section, reassembled from
// its data packets.
#pragma once

#include "io/e57/paged_file.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Each field's values are stored column-wise: its bytestream is its chunks from every data
// packet of the section, joined in packet order (values run across chunk boundaries).
struct SectionStreams {
    // One buffer per prototype leaf; only the wanted leaves are filled. Each buffer is
    // followed by 16 zero bytes beyond its size() - padding - so a decoder may load whole
    // words at any value.
    std::vector<std::vector<uint8_t>> bytes;
    static constexpr size_t padding = 16;
    // Empty when the whole section was read (or every wanted stream was complete); otherwise
    // why the walk stopped, in a few words, with the streams holding what came before.
    std::string stopped;
    // The section's logical length as far as the file holds it.
    uint64_t sectionBytes = 0;
    bool badChecksum = false; // stopped at a page that failed its checksum
    uint64_t badPage = 0;

    size_t size(size_t leaf) const { return bytes[leaf].size() - padding; }
};

// The logical ranges [start, end) of the sections already read, by start.
using ClaimedSections = std::map<uint64_t, uint64_t>;

// Walks the section at physical offset sectionOffset, whose records have leafCount leaves,
// and collects the streams whose wanted[leaf] is set until each holds neededBytes[leaf]. A
// section that overlaps one in claimed is not read (otherwise many scans could make the same
// bytes be decoded over and over); the others are added to it. walked, if given, hears after
// each packet how many of the section's bytes the walk has passed.
void readSectionStreams(
    PagedFile& file, uint64_t sectionOffset, size_t leafCount, const std::vector<bool>& wanted,
    const std::vector<uint64_t>& neededBytes, ClaimedSections& claimed, SectionStreams& streams,
    const std::function<void(uint64_t walked, uint64_t sectionBytes)>& walked = nullptr);
