// tests/io/fuzz/e57_fuzzer.cpp - libFuzzer target: any bytes, decoded as an E57 file, must
// not crash, hang or read outside them, and the counts must agree with the points given.
#include "io/e57/crc32c.h"
#include "io/e57/e57_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Count : E57PointSink {
    uint64_t points = 0;
    void addPoint(const double xyz[3], const uint8_t* rgb, float grey) override {
        (void)rgb;
        if (!(grey <= 1.0f) && grey == grey)
            std::abort();
        for (int i = 0; i < 3; ++i)
            if (xyz[i] - xyz[i] != 0) // NaN or infinite
                std::abort();
        ++points;
    }
};

} // namespace

extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=512";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Almost every mutation breaks a page checksum, which stops decoding at once. Most inputs
    // are therefore resealed first, so that the XML and the sections behind the checksums get
    // fuzzed too; the rest keep their checksums as mutated.
    std::vector<uint8_t> bytes(data, data + size);
    if (size % 8 != 0)
        for (size_t page = 0; page + 1024 <= size; page += 1024) {
            const uint32_t crc = crc32c(bytes.data() + page, 1020);
            for (int i = 0; i < 4; ++i)
                bytes[page + 1020 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
        }
    Count sink;
    const E57Decoded d = decodeE57(bytes.data(), bytes.size(), sink);
    if (sink.points != d.kept || d.kept > d.recordsRead || d.recordsRead > d.recordCount ||
        (!d.readable && d.kept != 0) || d.message.find('\n') != std::string::npos)
        std::abort();
    return 0;
}
