// tests/io/fuzz/formats_fuzzer.cpp - arbitrary bytes to every reader of the format table but
// the native one (which has its own fuzzer): the first byte picks the reader, the rest is the
// file. The pick by content runs on the same bytes. Any crash, overflow or undefined behaviour
// stops the run; so does a result that claims more points than it holds room for.
#include "io/colouring.h"
#include "io/formats.h"
#include "io/las/las_reader.h"
#include "io/obj_reader.h"
#include "io/pcd/pcd_reader.h"
#include "io/ply/ply_reader.h"
#include "io/text_columns_reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static const ReadFunction kReaders[] = {readPly,        readLas, readPcd,
                                            readColumnText, readPts, readObj};
    const ReadFunction read = kReaders[data[0] % (sizeof kReaders / sizeof kReaders[0])];
    // The readers may look at the mapping up to its size, not one byte more: a copy of just
    // that size lets the sanitizer see any read past the end.
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(size - 1 ? size - 1 : 1));
    std::memcpy(bytes, data + 1, size - 1);
    pickFormat("fuzz.txt", bytes, size - 1, true);

    ReadRequest request;
    request.path = "fuzz";
    request.bytes = bytes;
    request.size = size - 1;
    request.threads = data[0] & 0x80 ? 2 : 1;
    ReadResult result = read(request);
    if (result.status == ReadStatus::Read) {
        if (result.count < 0 || (result.count > 0 && !result.points))
            std::abort();
        applyColourKind(result);
    }
    releasePoints(result.points);
    std::free(bytes);
    return 0;
}
