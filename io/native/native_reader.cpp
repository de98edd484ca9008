// io/native/native_reader.cpp - the native format's outcomes as a ReadResult.
#include "io/native/native_reader.h"

#include "io/native/fast_reader.h"

#include <climits>

bool hasNativeSignature(const unsigned char* head, size_t size) {
    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < size && (head[at] == ' ' || (head[at] >= '\t' && head[at] <= '\r')))
            ++at;
    };
    skipBlanks();
    if (at == size)
        return true; // an empty file has always read as an empty native cloud
    if (head[at++] != '#')
        return false;
    skipBlanks();
    static const char word[] = "points";
    for (const char* w = word; *w; ++w, ++at)
        if (at >= size || (head[at] | 0x20) != *w)
            return false;
    return true;
}

ReadResult readNative(const ReadRequest& request) {
    FastReader* reader = nullptr;
    FastReadOptions options;
    if (request.threads < 2)
        options.splitBytes = INT64_MAX;
    options.progress = [&request, &reader](const ReadProgress& progress) {
        if (request.recordsFinal)
            request.recordsFinal(reader->records(), reader->recordsReady());
        if (request.progress)
            request.progress(progress);
    };
    FastReader fast(options);
    reader = &fast;

    // An empty mapping may stand for a file that says it is empty and yet has bytes to read
    // (those of /proc): such a file is read by path, as a pipe is.
    const ReadStatus opened = request.bytes && request.size > 0
                                  ? fast.open(request.bytes, request.size)
                                  : fast.open(request.path);
    if (opened == ReadStatus::Read) {
        if (request.headerAccepted)
            request.headerAccepted();
        fast.readBody();
    }
    ReadResult result = fast.take();
    result.format = "native";
    return result;
}
