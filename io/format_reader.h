// io/format_reader.h - the one interface every format's reader implements.
//
// Adding a format:
//   1. Add its value to Format (io/format.h).
//   2. Write its reader with one entry point,
//          ReadResult read<Format>(const ReadRequest& request);
//      as io/<format>_reader.h/.cpp, or, when it takes more than that pair, in a folder of its
//      own (io/<format>/, the entry point's header the only one the rest of io includes). It
//      decodes request.bytes (or opens request.path when the file is not mapped) and fills a
//      ReadResult: the points, how many the header declared, how many were dropped for a
//      non-finite position (finitePosition), the colour kind, a shift when it applied one, the
//      format line ("LAS 1.4, point format 6"), and on failure refusal(what is wrong): the
//      loading code names the file and the format. It never prints and never exits.
//   3. Add a row to the table in io/formats.cpp: the noun refusals use, the extensions, a test
//      of the first bytes when the format has a signature, and the entry point.
//   4. Add rows for its files to the table-driven tests in tests/io/.
#pragma once

#include "io/read_result.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// Below this many records (or bytes of text) a part of a read costs more than it saves: what
// readers pass to runInParts as its smallest part.
constexpr int64_t kSmallestReadPart = 1 << 18;

// What a reader gets: the file, and whom to tell how it goes. The callbacks run on the thread
// that reads; each may be empty.
struct ReadRequest {
    const char* path = nullptr;
    // The whole file, mapped; null for a file that isn't regular (a pipe), which only the
    // readers that read by path accept.
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    // Threads the reader may use (see usableCores); large files should use them all.
    int threads = 1;
    // The header is good and the records are allocated: from here on the file opens, even if
    // the body is cut short. The loading code holds back the window until this or the end of
    // the read, so that a refusal is reported first.
    std::function<void()> headerAccepted;
    // records[0, ready) are final and will not move or change; lets the viewer upload them
    // while the rest is read. Readers that cannot promise that say nothing.
    std::function<void(const PointRecord* records, int64_t ready)> recordsFinal;
    std::function<void(const ReadProgress&)> progress;
};

using ReadFunction = ReadResult (*)(const ReadRequest& request);
