// io/las/laz_reader.cpp - compressed LAS read through the uncompressed reader's record decoding.
#include "io/las/laz_reader.h"

#include "io/las/las_layout.h"
#include "io/laz/laz_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

ReadResult readLaz(const ReadRequest& request) {
    LasLayout layout;
    std::string reason;
    if (!parseLasHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    LazFileInfo info;
    reason = readLazFileInfo(request.bytes, request.size, info);
    if (!reason.empty())
        return refusal(reason);

    ReadResult result;
    result.format = lasFormatLine("LAZ", layout);
    std::copy(layout.scale, layout.scale + 3, result.precision);
    result.expected = static_cast<int64_t>(std::min<uint64_t>(info.pointCount, INT64_MAX));

    // The decoded records are the one transient copy: the points are made from them once every
    // chunk is in, leaving out the chunks that failed.
    const uint64_t stride = info.recordLength;
    const uint64_t total = info.pointCount;
    std::unique_ptr<unsigned char[]> records;
    if (stride != 0 && total <= UINT64_MAX / stride)
        records.reset(new (std::nothrow) unsigned char[std::max<uint64_t>(total * stride, 1)]);
    if (!records) {
        cannotAllocate(result, static_cast<int64_t>(std::min<uint64_t>(total, INT64_MAX)),
                       stride != 0 && total <= UINT64_MAX / stride ? total * stride : UINT64_MAX);
        return result;
    }
    if (request.headerAccepted)
        request.headerAccepted();

    unsigned char* buffer = records.get();
    const LazDecodeResult decoded =
        decodeLazFileInto(request.bytes, request.size, info, LazFields::Viewer,
                          static_cast<unsigned>(std::max(request.threads, 1)), buffer);

    // Chunks are in file order, so moving what each kept down keeps the points in order.
    uint64_t kept = 0;
    for (size_t i = 0; i < decoded.chunks.chunks.size(); ++i) {
        const LazChunk& chunk = decoded.chunks.chunks[i];
        if (i >= decoded.chunkKept.size() || chunk.firstPoint > total)
            continue;
        const uint64_t points = std::min(decoded.chunkKept[i], total - chunk.firstPoint);
        if (chunk.firstPoint != kept && points)
            std::memmove(buffer + kept * stride, buffer + chunk.firstPoint * stride,
                         points * stride);
        kept += points;
    }
    // The loading code says how many points were expected and read; this says why.
    if (decoded.decoded != decoded.expected)
        result.message = decoded.problem;

    const int64_t count = static_cast<int64_t>(std::min<uint64_t>(kept, INT64_MAX));
    result.points = allocatePoints(count);
    if (!result.points) {
        cannotAllocate(result, count, static_cast<uint64_t>(count) * sizeof(PointRecord));
        return result;
    }
    decodeLasRecords(layout, buffer, count, request.threads, result);
    return result;
}
