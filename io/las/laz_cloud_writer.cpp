// io/las/laz_cloud_writer.cpp - records made and compressed a chunk per job, then the header's
// box and counts from what the jobs tallied.
#include "io/las/laz_cloud_writer.h"

#include "io/las/las14_records.h"
#include "io/laz/compression_record.h"
#include "io/laz/parallel_chunks.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <vector>

bool writeLazCloud(PointCloud& cloud, const LazByteSink& sink, int threads,
                   CloudWriteReport* report) {
    const int64_t kept = moveFiniteFirst(cloud);
    const Las14Frame frame = chooseLas14Frame(cloud);
    LazLayout layout;
    if (!layeredLazLayout(frame.pointFormat, frame.recordLength, kLazDefaultChunkSize, layout))
        return false;
    LazFileWriter writer(layout, sink);
    Las14Header header;
    if (!writer.begin(header, {}))
        return false;

    // A tally and a record buffer for each thread.
    std::vector<Las14Tally> tallies(kMostParts);
    std::vector<std::vector<uint8_t>> records(kMostParts);
    const int64_t per = kLazDefaultChunkSize;
    const int64_t chunks = (kept + per - 1) / per;
    const ChunkJob job = [&](int64_t chunk, int worker, LazChunkEncoder& encoder,
                             CompressedChunks& out) {
        const int64_t first = chunk * per;
        const int64_t count = std::min(per, kept - first);
        std::vector<uint8_t>& buffer = records[size_t(worker)];
        buffer.resize(size_t(count) * frame.recordLength);
        makeLas14Records(cloud, frame, first, count, buffer.data(), tallies[size_t(worker)]);
        return out.add(encoder, buffer.data(), uint32_t(count));
    };
    const ChunkTaker take = [&](int64_t, const CompressedChunks& made) {
        const CompressedChunks::Chunk& chunk = made[0];
        return writer.writeEncodedChunk(chunk.bytes.data(), chunk.bytes.size(), chunk.points);
    };
    if (!compressChunksInOrder(layout, chunks, threads, job, take))
        return false;

    Las14Tally tally;
    for (const Las14Tally& part : tallies)
        tally.join(part);
    describeLas14Records(frame, tally, header);
    if (!writer.finish(header, {}))
        return false;
    if (report) {
        report->points = writer.points();
        report->leftOut = cloud.count - kept;
        report->chunks = uint64_t(chunks);
        report->bytes = writer.end();
    }
    return true;
}
