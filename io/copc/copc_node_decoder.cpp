// io/copc/copc_node_decoder.cpp - a node's chunk read by its range and checked against its entry.
#include "io/copc/copc_node_decoder.h"

#include <new>

CopcNodeDecoder::CopcNodeDecoder(const CopcFile& file, LazFields fields)
    : file_(file), decoder_(file.laz(), fields) {}

bool CopcNodeDecoder::readChunk(const CopcFile& file, const CopcNode& node,
                                std::vector<uint8_t>& bytes, std::string& error) {
    std::string why;
    if (file.source().read(int64_t(node.offset), int64_t(node.bytes), bytes, why))
        return true;
    error = "node " + node.key.text() + " cannot be read: " + why;
    return false;
}

bool CopcNodeDecoder::decode(const CopcNode& node, uint8_t* records, std::string& error) {
    if (node.points == 0)
        return true;
    return readChunk(file_, node, bytes_, error) && decodeChunk(node, bytes_, records, error);
}

bool CopcNodeDecoder::decodeChunk(const CopcNode& node, const std::vector<uint8_t>& chunk,
                                  uint8_t* records, std::string& error) {
    if (node.points == 0)
        return true;
    const std::string name = "node " + node.key.text();
    const uint8_t* begin = chunk.data();
    const uint8_t* end = begin + chunk.size();
    uint64_t length = 0, stored = 0;
    if (!layeredChunkExtent(file_.laz(), begin, end, length, stored)) {
        error = name + " is corrupt: its layers reach past its " + std::to_string(node.bytes) +
                " bytes";
        return false;
    }
    if (stored != node.points) {
        error = name + " holds " + std::to_string(stored) + " points, its entry says " +
                std::to_string(node.points);
        return false;
    }
    if (length != node.bytes) {
        error = name + " ends after " + std::to_string(length) + " bytes, its entry says " +
                std::to_string(node.bytes);
        return false;
    }
    if (!decoder_.start(begin, end, node.points) || !decoder_.read(records, node.points)) {
        error = name + " is corrupt";
        return false;
    }
    return true;
}

const uint8_t* CopcNodeDecoder::decodeRecords(const CopcNode& node, std::string& error,
                                              const std::vector<uint8_t>* chunk) {
    // A damaged entry may claim far more points than memory holds: ask without throwing.
    const uint64_t need = uint64_t(node.points) * file_.las().recordLength;
    if (need > recordsRoom_) {
        records_.reset(new (std::nothrow) uint8_t[need]);
        recordsRoom_ = records_ ? need : 0;
        if (!records_) {
            error = "node " + node.key.text() + " has more points (" + std::to_string(node.points) +
                    ") than there is memory for";
            return nullptr;
        }
    }
    const bool decoded = chunk ? decodeChunk(node, *chunk, records_.get(), error)
                               : decode(node, records_.get(), error);
    return decoded ? records_.get() : nullptr;
}

bool CopcNodeDecoder::decodePoints(const CopcNode& node, const CopcPointConverter& converter,
                                   PointRecord* points, std::string& error) {
    const uint8_t* records = decodeRecords(node, error);
    if (!records)
        return false;
    converter.convert(records, node.points, points);
    return true;
}
