// tests/io/fuzz/native_fuzzer.cpp - libFuzzer target: any bytes, read as a point file by the
// fscanf reader and by the fast reader, must give the same status, count and records.
#include "io/native/fast_reader.h"
#include "io/native/scanf_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Status, count and every bit of the counted records; records past count are unspecified.
bool same(const ReadResult& expected, const ReadResult& got, const char* reader) {
    if (expected.status == got.status && expected.count == got.count &&
        (expected.count == 0 ||
         std::memcmp(expected.points, got.points, expected.count * sizeof(PointRecord)) == 0))
        return true;
    std::fprintf(stderr, "%s: status %d count %d, the fscanf reader: status %d count %d\n", reader,
                 int(got.status), int(got.count), int(expected.status), int(expected.count));
    for (int64_t i = 0; expected.count == got.count && i < int64_t(expected.count) * 6; ++i) {
        const float want = reinterpret_cast<const float*>(expected.points)[i];
        const float have = reinterpret_cast<const float*>(got.points)[i];
        if (std::memcmp(&want, &have, sizeof want) != 0) {
            std::fprintf(stderr, "number %lld: %a, expected %a\n", static_cast<long long>(i),
                         double(have), double(want));
            break;
        }
    }
    return false;
}

} // namespace

// A header may declare billions of points. Both readers allocate through allocatePoints, so a
// smaller allocation limit treats them alike while keeping each run fast and small.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One in-memory file for the whole run; both readers open it by path like any other.
    static int file = memfd_create("point-file", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (ftruncate(file, 0) != 0 || pwrite(file, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    // Each input is also read in small blocks with the split forced, the block size picked from
    // its bytes, so that numbers straddle blocks and the second thread starts in odd places.
    static const size_t blocks[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 64, 255, 4096};
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum = sum * 31 + data[i];
    FastReadOptions small;
    small.blockBytes = blocks[sum % (sizeof blocks / sizeof blocks[0])];
    small.splitBytes = 0;

    const ReadResult oracle = readPointFileScanf(path.c_str());
    const ReadResult split = readPointFile(path.c_str(), small);
    const ReadResult plain = readPointFile(path.c_str());
    // From the bytes as a mapping holds them, a copy of just that size so that the sanitizer
    // sees any read past the end.
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    std::memcpy(bytes, data, size);
    const ReadResult mapped = readPointBytes(bytes, size, small);
    if (!same(oracle, split, "small blocks, split") || !same(oracle, plain, "default") ||
        !same(oracle, mapped, "from the bytes, small blocks, split"))
        std::abort();
    std::free(bytes);
    releasePoints(oracle.points);
    releasePoints(split.points);
    releasePoints(plain.points);
    releasePoints(mapped.points);
    return 0;
}
