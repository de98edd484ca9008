// io/copc/copc_node_decoder.h - one node's chunk fetched and decoded to LAS 1.4 records.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/copc_hierarchy.h"
#include "io/copc/copc_points.h"
#include "io/laz/chunk_decoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Decodes nodes of one file, one at a time: its models and its buffer are its own, so each
// thread that decodes keeps one and threads never share one. The file must outlive it.
class CopcNodeDecoder {
public:
    // Viewer fields leave the layers a viewer doesn't draw undecoded (their fields keep each
    // chunk's first values); All gives every field of every record.
    CopcNodeDecoder(const CopcFile& file, LazFields fields);

    // Reads node's chunk through the file's source and decodes its node.points records into
    // records, which has room for node.points * recordLength bytes. The chunk is decoded as a
    // chunk of its own: its stored count must be the node's, and its layers must end at the
    // node's byte size. False with a one-line reason naming the node when it cannot be read or
    // is corrupt; records then hold nothing to use.
    bool decode(const CopcNode& node, uint8_t* records, std::string& error);
    // The same into a buffer of its own, which holds them until the next call; null with the
    // reason when the node cannot be decoded or there is no room for its records. With chunk
    // set, node's chunk as read before (readChunk) rather than read here.
    const uint8_t* decodeRecords(const CopcNode& node, std::string& error,
                                 const std::vector<uint8_t>* chunk = nullptr);
    // The node's records turned into node.points points by converter.
    bool decodePoints(const CopcNode& node, const CopcPointConverter& converter,
                      PointRecord* points, std::string& error);

    // Reads node's chunk through file's source into bytes; false with the line naming the node.
    static bool readChunk(const CopcFile& file, const CopcNode& node, std::vector<uint8_t>& bytes,
                          std::string& error);

private:
    bool decodeChunk(const CopcNode& node, const std::vector<uint8_t>& chunk, uint8_t* records,
                     std::string& error);

    const CopcFile& file_;
    ChunkDecoder decoder_;
    std::vector<uint8_t> bytes_;
    std::unique_ptr<uint8_t[]> records_;
    uint64_t recordsRoom_ = 0; // bytes
};
