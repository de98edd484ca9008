// io/copc/copc_reader.cpp - the whole index read, every node decoded into its slot of one record
// array on the threads, then the records read as LAS.
#include "io/copc/copc_reader.h"

#include "io/copc/copc_file.h"
#include "io/copc/copc_node_decoder.h"
#include "io/las/las_layout.h"
#include "io/las/laz_reader.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Damage named in the one-line message; past this many the rest are only counted.
constexpr size_t kMostNamed = 8;

std::string joinDamage(const std::vector<std::string>& damage) {
    std::string line;
    for (size_t i = 0; i < damage.size() && i < kMostNamed; ++i)
        line += (i ? "; " : "") + damage[i];
    if (damage.size() > kMostNamed)
        line += "; and " + std::to_string(damage.size() - kMostNamed) + " more damaged parts";
    return line;
}

} // namespace

ReadResult readCopc(const ReadRequest& request) {
    std::string reason;
    std::unique_ptr<CopcFile> file =
        CopcFile::open(viewBytes(request.path, request.bytes, request.size), reason);
    // The chunk table still leads to every chunk when the index doesn't.
    if (!file)
        return readLaz(request);
    return readCopcFile(*file, request);
}

ReadResult readCopcFile(CopcFile& copc, const ReadRequest& request) {
    CopcFile* file = &copc;
    CopcHierarchy& index = file->hierarchy();
    index.loadAll();
    std::vector<CopcNode> nodes = index.nodes();
    nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                               [](const CopcNode& node) { return node.points == 0; }),
                nodes.end());
    // In file order the points come out as plain LAZ reading gives them, so the cloud looks
    // the same either way, even where points overlap on screen.
    std::sort(nodes.begin(), nodes.end(),
              [](const CopcNode& a, const CopcNode& b) { return a.offset < b.offset; });

    const LasLayout& layout = file->las();
    ReadResult result;
    result.format = lasFormatLine("LAZ", layout);
    std::copy(layout.scale, layout.scale + 3, result.precision);
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.declared, INT64_MAX));

    // Each node decodes into its own slot; the index bounds every count by its chunk's bytes,
    // so the total is bounded by the file's size.
    const uint64_t stride = layout.recordLength;
    std::vector<uint64_t> first(nodes.size());
    uint64_t total = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        first[i] = total;
        total += nodes[i].points;
    }
    std::unique_ptr<unsigned char[]> records;
    if (total <= UINT64_MAX / stride)
        records.reset(new (std::nothrow) unsigned char[std::max<uint64_t>(total * stride, 1)]);
    if (!records) {
        cannotAllocate(result, static_cast<int64_t>(std::min<uint64_t>(total, INT64_MAX)),
                       total <= UINT64_MAX / stride ? total * stride : UINT64_MAX);
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();

    unsigned char* buffer = records.get();
    std::vector<std::string> errors(nodes.size());
    std::vector<uint8_t> ok(nodes.size(), 0);
    // One decoder a part: it holds the models and buffers of a chunk in progress.
    runInParts(static_cast<int64_t>(nodes.size()), std::max(request.threads, 1),
               [&](int64_t begin, int64_t end, int) {
                   CopcNodeDecoder decoder(*file, LazFields::Viewer);
                   for (int64_t i = begin; i < end; ++i)
                       ok[i] = decoder.decode(nodes[i], buffer + first[i] * stride, errors[i]);
               });

    // Moving each whole node down keeps the file order.
    std::vector<std::string> damage = index.takeDamage();
    uint64_t kept = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!ok[i]) {
            damage.push_back(errors[i]);
            continue;
        }
        if (first[i] != kept)
            std::memmove(buffer + kept * stride, buffer + first[i] * stride,
                         nodes[i].points * stride);
        kept += nodes[i].points;
    }
    result.message = joinDamage(damage);

    const int64_t count = static_cast<int64_t>(std::min<uint64_t>(kept, INT64_MAX));
    result.points = allocatePoints(count);
    if (!result.points) {
        cannotAllocate(result, count, static_cast<uint64_t>(count) * sizeof(PointRecord));
        return result;
    }
    decodeLasRecords(layout, buffer, count, request.threads, result);
    return result;
}
