// io/copc/copc_octree.h - an octree LAZ file as a streamed octree: its index and its chunks.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/streamed_tree.h"

#include <memory>

// Owns the open file. Nodes carry their points' attributes as a whole read keeps them.
class CopcOctree : public StreamedTree {
public:
    explicit CopcOctree(std::unique_ptr<CopcFile> file) : file_(std::move(file)) {}
    CopcFile& file() const { return *file_; }

    bool find(const CopcKey& key, CopcNode& node) override;
    std::vector<CopcNode> children(const CopcKey& key) override;
    bool childrenRead(const CopcKey& key, std::vector<CopcNode>& children,
                      std::vector<CopcKey>& pages) override;
    void readPage(const CopcKey& page) override;
    std::vector<std::string> takeDamage() override;
    CopcCube cube(const CopcKey& key) const override { return file_->cube(key); }
    double spacing(int level) const override { return file_->spacing(level); }
    uint64_t declaredPoints() const override { return file_->las().declared; }
    void declaredBox(double low[3], double high[3]) const override;
    ColourKind colour() const override;
    uint32_t attributes() const override;
    std::string formatLine() const override;
    void precision(double step[3]) const override;
    bool fetch(const CopcNode& node, std::vector<uint8_t>& data, std::string& error) const override;
    int64_t fetchBytes(const CopcNode& node) const override { return node.bytes; }
    std::unique_ptr<StreamedNodeDecoder> decoder(const double shift[3]) const override;

private:
    std::unique_ptr<CopcFile> file_;
};
