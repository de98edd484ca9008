// io/ept/ept_octree.cpp - the index through the hierarchy files, nodes through their files.
#include "io/ept/ept_octree.h"

#include "io/ept/ept_node_decoder.h"

#include <new>

namespace {

class EptStreamedDecoder : public StreamedNodeDecoder {
public:
    EptStreamedDecoder(const EptDataset& dataset, const double shift[3])
        : dataset_(dataset), decoder_(dataset), shift_{shift[0], shift[1], shift[2]} {}

    bool decode(const CopcNode& node, std::vector<uint8_t>* fetched,
                std::vector<PointRecord>& points, PointAttributes* attributes,
                std::string& error) override {
        const EptNode entry{node.key, node.points};
        if (!(fetched ? decoder_.accept(entry, *fetched, error) : decoder_.fetch(entry, error)))
            return false;
        // The root just decoded settles the colours: its file is not fetched a second time.
        if (node.key == CopcKey())
            dataset_.decideColour(decoder_);
        if (!converter_)
            converter_.reset(new (std::nothrow) EptPointConverter(dataset_, shift_));
        if (!converter_) {
            error = "node " + node.key.text() + ": not enough memory to decode it";
            return false;
        }
        points.resize(node.points);
        decoder_.convert(*converter_, points.data());
        if (attributes)
            decoder_.attributes(*attributes);
        return true;
    }

private:
    const EptDataset& dataset_;
    EptNodeDecoder decoder_;
    double shift_[3];
    std::unique_ptr<EptPointConverter> converter_; // once the colours are settled
};

} // namespace

bool EptOctree::entryOf(const EptNode& node, CopcNode& entry) {
    if (node.points > UINT32_MAX) {
        damage_.push_back("node " + node.key.text() + " claims " + std::to_string(node.points) +
                          " points, more than a node may hold");
        return false;
    }
    entry = CopcNode();
    entry.key = node.key;
    entry.points = uint32_t(node.points);
    return true;
}

bool EptOctree::find(const CopcKey& key, CopcNode& entry) {
    EptNode node;
    return dataset_->hierarchy().find(key, node) && entryOf(node, entry);
}

std::vector<CopcNode> EptOctree::children(const CopcKey& key) {
    std::vector<CopcNode> entries;
    for (const EptNode& node : dataset_->hierarchy().children(key)) {
        CopcNode entry;
        if (entryOf(node, entry))
            entries.push_back(entry);
    }
    return entries;
}

bool EptOctree::childrenRead(const CopcKey& key, std::vector<CopcNode>& children,
                             std::vector<CopcKey>& pages) {
    std::vector<EptNode> nodes;
    children.clear();
    if (!dataset_->hierarchy().childrenRead(key, nodes, pages))
        return false;
    for (const EptNode& node : nodes) {
        CopcNode entry;
        if (entryOf(node, entry))
            children.push_back(entry);
    }
    return true;
}

void EptOctree::readPage(const CopcKey& page) {
    dataset_->hierarchy().readFile(page);
}

std::vector<std::string> EptOctree::takeDamage() {
    std::vector<std::string> damage = dataset_->hierarchy().takeDamage();
    damage.insert(damage.end(), damage_.begin(), damage_.end());
    damage_.clear();
    return damage;
}

void EptOctree::declaredBox(double low[3], double high[3]) const {
    const double* box = dataset_->metadata().conforming;
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = box[axis];
        high[axis] = box[axis + 3];
    }
}

std::string EptOctree::formatLine() const {
    const EptMetadata& metadata = dataset_->metadata();
    return "EPT " + (metadata.version.empty() ? std::string("1.0.0") : metadata.version) + ", " +
           metadata.dataTypeName();
}

void EptOctree::precision(double step[3]) const {
    const EptMetadata& metadata = dataset_->metadata();
    const int fields[3] = {metadata.x, metadata.y, metadata.z};
    for (int axis = 0; axis < 3; ++axis) {
        const EptField& field = metadata.schema[size_t(fields[axis])];
        step[axis] = field.scaled && field.type != EptFieldType::Float ? field.scale : 0.0;
    }
}

bool EptOctree::fetch(const CopcNode& node, std::vector<uint8_t>& data, std::string& error) const {
    std::string why;
    if (dataset_->folder().readWhole(dataset_->dataFile(node.key), data, why))
        return true;
    error = "node " + node.key.text() + " cannot be read: " + why;
    return false;
}

std::unique_ptr<StreamedNodeDecoder> EptOctree::decoder(const double shift[3]) const {
    return std::unique_ptr<StreamedNodeDecoder>(new (std::nothrow)
                                                    EptStreamedDecoder(*dataset_, shift));
}
