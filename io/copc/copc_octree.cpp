// io/copc/copc_octree.cpp - the index through the file's hierarchy, nodes through its chunks.
#include "io/copc/copc_octree.h"

#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_points.h"

#include <new>

namespace {

class CopcStreamedDecoder : public StreamedNodeDecoder {
public:
    CopcStreamedDecoder(const CopcFile& file, const double shift[3])
        : decoder_(file, LazFields::Viewer), converter_(file, shift) {}

    bool decode(const CopcNode& node, std::vector<PointRecord>& points, PointAttributes*,
                std::string& error) override {
        const uint8_t* records = decoder_.decodeRecords(node, error);
        if (!records)
            return false;
        points.resize(node.points);
        converter_.convert(records, node.points, points.data());
        return true;
    }

private:
    CopcNodeDecoder decoder_;
    CopcPointConverter converter_;
};

} // namespace

bool CopcOctree::find(const CopcKey& key, CopcNode& node) {
    return file_->hierarchy().find(key, node);
}

std::vector<CopcNode> CopcOctree::children(const CopcKey& key) {
    return file_->hierarchy().children(key);
}

std::vector<std::string> CopcOctree::takeDamage() {
    return file_->hierarchy().takeDamage();
}

void CopcOctree::declaredBox(double low[3], double high[3]) const {
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = file_->las().low[axis];
        high[axis] = file_->las().high[axis];
    }
}

ColourKind CopcOctree::colour() const {
    return file_->las().rgbOffset >= 0 ? ColourKind::Rgb : ColourKind::Intensity;
}

std::string CopcOctree::formatLine() const {
    return lasFormatLine("LAZ", file_->las());
}

void CopcOctree::precision(double step[3]) const {
    // As before: a streamed file's positions are written to a float's own step.
    step[0] = step[1] = step[2] = 0.0;
}

std::unique_ptr<StreamedNodeDecoder> CopcOctree::decoder(const double shift[3]) const {
    return std::unique_ptr<StreamedNodeDecoder>(new (std::nothrow)
                                                    CopcStreamedDecoder(*file_, shift));
}
