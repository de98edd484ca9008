// tests/io/copc/fuzz/copc_fuzzer.cpp - libFuzzer target: any bytes, opened as an octree file,
// walked, every node decoded on two threads and read whole, must neither crash, hang nor read
// outside the bytes. The mutator mostly damages the index (entries' places, sizes and counts,
// pointers) and the file's end, and leaves the rest to libFuzzer's own mutations.
#include "io/byte_order.h"
#include "io/copc/copc_file.h"
#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_points.h"
#include "io/copc/copc_reader.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=512";
}

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    std::minstd_rand random(seed);
    if (size < kCopcHeadBytes)
        return LLVMFuzzerMutate(data, size, maxSize);
    const uint64_t root = loadLittle<uint64_t>(data + 469);
    const uint64_t rootSize = loadLittle<uint64_t>(data + 477);
    if (root >= size || rootSize < 32 || rootSize > size - root)
        return LLVMFuzzerMutate(data, size, maxSize);
    uint8_t* entry = data + root + 32 * (random() % (rootSize / 32));
    switch (random() % 6) {
        case 0: // cut the file anywhere after the header
            return kCopcHeadBytes + random() % (size - kCopcHeadBytes);
        case 1: { // move an entry's chunk or page a little, or anywhere
            const uint64_t offset = loadLittle<uint64_t>(entry + 16);
            const uint64_t moved[] = {offset + random() % 9 - 4, uint64_t(random() % size), root};
            storeLittle(entry + 16, moved[random() % 3]);
            return size;
        }
        case 2: { // change a byte size or a count by a little, or make it a pointer
            const int field = random() % 2 ? 24 : 28;
            const int32_t value = loadLittle<int32_t>(entry + field);
            const int32_t changed[] = {value + int32_t(random() % 5) - 2, -1, 0};
            storeLittle(entry + field, changed[random() % 3]);
            return size;
        }
        case 3: { // a key somewhere else, or nowhere
            const int field = 4 * (random() % 4);
            storeLittle(entry + field,
                        loadLittle<int32_t>(entry + field) + int32_t(random() % 3) - 1);
            return size;
        }
        case 4: { // scribble inside a chunk
            const uint64_t offset = loadLittle<uint64_t>(entry + 16);
            const int32_t bytes = loadLittle<int32_t>(entry + 24);
            if (offset < size && bytes > 0) {
                const uint64_t at = offset + random() % uint64_t(bytes);
                if (at < size)
                    data[at] ^= uint8_t(1u << (random() % 8));
            }
            return size;
        }
        default:
            return LLVMFuzzerMutate(data, size, maxSize);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::unique_ptr<CopcFile> file = CopcFile::open(viewBytes("fuzz", data, size), error);
    uint64_t sum = 0;
    if (file) {
        // A walk from the root first, reading pages as it goes, then the rest.
        CopcHierarchy& index = file->hierarchy();
        std::vector<CopcKey> keys{CopcKey()};
        for (size_t i = 0; i < keys.size() && keys.size() < 4096; ++i)
            for (const CopcNode& child : index.children(keys[i]))
                keys.push_back(child.key);
        index.loadAll();
        const std::vector<CopcNode> nodes = index.nodes();
        const double shift[3] = {0, 0, 0};
        const CopcPointConverter converter(*file, shift);
        std::atomic<size_t> next{0};
        std::atomic<uint64_t> touched{0};
        auto work = [&](LazFields fields) {
            CopcNodeDecoder decoder(*file, fields);
            std::vector<PointRecord> points;
            std::string why;
            for (size_t i = next++; i < nodes.size(); i = next++) {
                // Counts past this only make each run slow, not different.
                if (nodes[i].points > (1u << 16))
                    continue;
                points.resize(nodes[i].points);
                if (decoder.decodePoints(nodes[i], converter, points.data(), why))
                    for (const PointRecord& p : points)
                        touched += uint64_t(p.x != p.x);
            }
        };
        std::thread helper(work, LazFields::All);
        work(LazFields::Viewer);
        helper.join();
        sum += touched;
    }
    ReadRequest request;
    request.path = "fuzz";
    request.bytes = data;
    request.size = size;
    request.threads = 2;
    ReadResult whole = readCopc(request);
    if (whole.count < 0 || (whole.status == ReadStatus::Read && whole.count > 0 && !whole.points))
        __builtin_trap();
    releasePoints(whole.points);
    return sum == 1 ? 1 : 0;
}
