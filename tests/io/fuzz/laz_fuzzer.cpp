// tests/io/fuzz/laz_fuzzer.cpp - libFuzzer target: any bytes, decoded as a compressed LAS file
// on two threads, must neither crash, hang nor read outside the file. The mutator mostly
// damages what matters in a real file (a chunk's bytes, the file's end, the chunk table)
// and leaves the rest to libFuzzer's own mutations.
#include "io/laz/laz_file.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

uint64_t pointData(const uint8_t* data, size_t size) {
    uint32_t offset = 0;
    if (size >= 100)
        std::memcpy(&offset, data + 96, 4);
    return offset < size ? offset : 0;
}

} // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    std::minstd_rand random(seed);
    const uint64_t points = pointData(data, size);
    if (points == 0 || points + 16 >= size)
        return LLVMFuzzerMutate(data, size, maxSize);
    switch (random() % 5) {
        case 0: // cut the file anywhere after the header
            return points + random() % (size - points);
        case 1: { // scribble over a few bytes of the point area
            const size_t at = points + 8 + random() % (size - points - 8);
            const size_t n = 1 + random() % 8;
            for (size_t i = at; i < at + n && i < size; ++i)
                data[i] = uint8_t(random());
            return size;
        }
        case 2: { // move the chunk table offset: -1, onto itself, anywhere, a little
            int64_t table;
            std::memcpy(&table, data + points, 8);
            const int64_t choices[] = {-1, int64_t(points), int64_t(random() % size),
                                       table + int64_t(random() % 17) - 8};
            std::memcpy(data + points, &choices[random() % 4], 8);
            return size;
        }
        case 3: { // damage the table itself (at the offset, or in the file's last bytes)
            int64_t table;
            std::memcpy(&table, data + points, 8);
            const size_t at = table > 0 && uint64_t(table) < size ? size_t(table) : size - 8;
            const size_t n = 1 + random() % 4;
            for (size_t i = at + random() % 12; n && i < size; ++i)
                data[i] ^= uint8_t(1u << (random() % 8));
            return size;
        }
        default:
            return LLVMFuzzerMutate(data, size, maxSize);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LazFileInfo info;
    if (!readLazFileInfo(data, size, info).empty())
        return 0;
    // Counts past this only make each run slow, not different.
    if (info.pointCount > (uint64_t(1) << 21))
        return 0;
    // Touch every record handed over, so that the sanitizers see each byte the decoder wrote.
    // Both field sets, one per input, chosen by its length.
    uint64_t sum = 0;
    const LazFields fields = size % 2 ? LazFields::All : LazFields::Viewer;
    {
        const LazDecodeResult result =
            decodeLazFile(data, size, info, fields, 2,
                          [&](uint64_t first, const uint8_t* records, uint64_t count) {
                              if (first + count > info.pointCount)
                                  __builtin_trap();
                              for (uint64_t i = 0; i < count * info.recordLength; ++i)
                                  sum += records[i];
                          });
        if (result.decoded > result.expected)
            __builtin_trap();
        // Straight into an array of exactly the header's count, as the reader does: the
        // sanitizers catch a write past it; the outcome must match the sink's.
        std::vector<uint8_t> records(info.pointCount * info.recordLength);
        const LazDecodeResult into = decodeLazFileInto(data, size, info, fields, 2, records.data());
        if (into.decoded != result.decoded || into.chunkOk != result.chunkOk ||
            into.chunkKept != result.chunkKept)
            __builtin_trap();
        for (uint8_t b : records)
            sum += b;
    }
    return sum == 1 ? 1 : 0;
}
