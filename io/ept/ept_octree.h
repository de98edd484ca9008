// io/ept/ept_octree.h - a tiled dataset as a streamed octree: its hierarchy files and its node
// files.
#pragma once

#include "io/copc/streamed_tree.h"
#include "io/ept/ept_dataset.h"

#include <memory>

// Owns the open dataset. A node's entry holds its key and count only: its file is named by the
// key. Nodes carry the attribute columns the schema names.
class EptOctree : public StreamedTree {
public:
    explicit EptOctree(std::unique_ptr<EptDataset> dataset) : dataset_(std::move(dataset)) {}
    EptDataset& dataset() const { return *dataset_; }

    bool find(const CopcKey& key, CopcNode& node) override;
    std::vector<CopcNode> children(const CopcKey& key) override;
    bool childrenRead(const CopcKey& key, std::vector<CopcNode>& children,
                      std::vector<CopcKey>& pages) override;
    void readPage(const CopcKey& page) override;
    std::vector<std::string> takeDamage() override;
    CopcCube cube(const CopcKey& key) const override { return dataset_->cube(key); }
    double spacing(int level) const override { return dataset_->spacing(level); }
    uint64_t declaredPoints() const override { return dataset_->metadata().points; }
    void declaredBox(double low[3], double high[3]) const override;
    ColourKind colour() const override { return dataset_->colour(); }
    uint32_t attributes() const override { return dataset_->metadata().attributes(); }
    std::string formatLine() const override;
    void precision(double step[3]) const override;
    bool fetch(const CopcNode& node, std::vector<uint8_t>& data, std::string& error) const override;
    int64_t fetchBytes(const CopcNode&) const override { return 0; }
    std::unique_ptr<StreamedNodeDecoder> decoder(const double shift[3]) const override;

private:
    // A node's count as an entry; false, with a line of damage, for one beyond an entry's reach.
    bool entryOf(const EptNode& node, CopcNode& entry);

    std::unique_ptr<EptDataset> dataset_;
    std::vector<std::string> damage_;
};
