// io/ept/ept_dataset.h - one open tiled octree dataset: its description, the hierarchy read as
// the tree is walked, and where each node's points are.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/copc_key.h"
#include "io/ept/ept_hierarchy.h"
#include "io/ept/ept_metadata.h"
#include "io/point_records.h"
#include "io/resource_folder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class EptNodeDecoder;

// Whether the first bytes look like a dataset's ept.json: a JSON object that names "bounds" and
// "dataType" or "schema" within them.
bool hasEptSignature(const unsigned char* head, size_t size);

// A dataset opened through its folder (local or remote). Everything but the hierarchy is fixed
// once open returns, so nodes can be decoded on several threads at once (each with its own
// EptNodeDecoder); the hierarchy reads its files under its own lock.
class EptDataset {
public:
    // Parses ept.json's text and reads the root hierarchy file. Null with a one-line reason
    // when the description cannot be used or the root file cannot be read.
    static std::unique_ptr<EptDataset> open(std::unique_ptr<ResourceFolder> folder,
                                            const uint8_t* json, size_t size, std::string& error);
    // The same, reading "ept.json" through the folder first.
    static std::unique_ptr<EptDataset> open(std::unique_ptr<ResourceFolder> folder,
                                            std::string& error);
    EptDataset(const EptDataset&) = delete;
    EptDataset& operator=(const EptDataset&) = delete;

    ResourceFolder& folder() const { return *folder_; }
    const EptMetadata& metadata() const { return metadata_; }
    EptHierarchy& hierarchy() const { return *hierarchy_; }

    // Node key's cube: the root cube split key.level times.
    CopcCube cube(const CopcKey& key) const;
    // The nominal distance between points at this level: the root's edge over span, halved at
    // each level (span 128 when the description gives none).
    double spacing(int level) const;
    // The node's data file, relative to the folder.
    std::string dataFile(const CopcKey& key) const;

    // Rgb when the schema has Red, Green and Blue; else Intensity when it has that; else None.
    ColourKind colour() const;
    // Whether 16-bit colour fields hold 16-bit values (true) or 8-bit ones. Decided once, from
    // the shallowest node with points that decodes, so that neighbouring nodes never differ.
    bool wideColour() const;
    // Makes the decision from a node the caller has fetched already, which must be the one
    // wideColour would pick (the shallowest with points, decoded whole): a whole read's first
    // node, so that it is not fetched twice. No effect once decided.
    void decideColour(const EptNodeDecoder& fetched) const;

private:
    EptDataset() = default;

    std::unique_ptr<ResourceFolder> folder_;
    EptMetadata metadata_;
    std::unique_ptr<EptHierarchy> hierarchy_;
    mutable std::once_flag colourDecided_;
    mutable bool wideColour_ = false;
};
