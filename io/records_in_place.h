// io/records_in_place.h - records decoded straight into their slots, in parts over the threads
// (binary PLY, binary PCD, LAS): the pages mapped first, the box gathered while decoding.
#pragma once

#include "io/format_reader.h"
#include "io/shift.h"

#include <cstdint>
#include <functional>

// Allocates result.points for count records and, once they are had, tells the request that the
// header is accepted. False, with status CannotAllocate, when they cannot be had.
bool allocateRecords(const ReadRequest& request, int64_t count, ReadResult& result);

// Maps the pages under records [0, count) before they are written, in one call rather than a
// fault per page; each thread does it for its own part, so the zeroing is split too. A hint:
// nothing happens where the kernel cannot do it.
void prefaultRecords(PointRecord* points, int64_t count);

// What one part of the records decoded in place found. A dropped record is left in its slot
// with a non-finite position.
struct PartFound {
    int64_t dropped = 0;
    StoredBox box;
};

// Decodes records [0, count) into result.points, which has room for them, by decode(begin, end)
// in parts over the threads, each part's pages mapped first; then takes the dropped records out,
// the others kept in order with their entries in result.attributes (which, when present, hold
// count entries). Sets result's count and dropped; returns the box of the records kept.
StoredBox decodeParts(ReadResult& result, int64_t count, int threads,
                      const std::function<PartFound(int64_t begin, int64_t end)>& decode);

// decodeParts, then the shift settled from the provisional one the records were stored against.
void decodeInParts(ReadResult& result, int64_t count, int threads, const double shift[3],
                   const std::function<PartFound(int64_t begin, int64_t end)>& decode);
