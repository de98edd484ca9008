// io/ept/ept_dataset.cpp - opening a dataset, its node geometry, and the one colour decision.
#include "io/ept/ept_dataset.h"

#include "io/ept/ept_node_decoder.h"

#include <cmath>
#include <cstring>
#include <deque>
#include <new>

namespace {

// Nodes tried, shallowest first, for the colour decision before it falls back to 8-bit.
constexpr int kColourTries = 16;

bool contains(const unsigned char* head, size_t size, const char* text) {
    const size_t length = std::strlen(text);
    for (size_t i = 0; i + length <= size; ++i)
        if (std::memcmp(head + i, text, length) == 0)
            return true;
    return false;
}

} // namespace

bool hasEptSignature(const unsigned char* head, size_t size) {
    size_t at = 0;
    while (at < size &&
           (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
        ++at;
    if (at == size || head[at] != '{')
        return false;
    return contains(head, size, "\"bounds\"") &&
           (contains(head, size, "\"dataType\"") || contains(head, size, "\"schema\""));
}

std::unique_ptr<EptDataset> EptDataset::open(std::unique_ptr<ResourceFolder> folder,
                                             const uint8_t* json, size_t size, std::string& error) {
    if (!folder) {
        error = "out of memory";
        return nullptr;
    }
    std::unique_ptr<EptDataset> dataset(new (std::nothrow) EptDataset());
    if (!dataset) {
        error = "out of memory";
        return nullptr;
    }
    if (!parseEptMetadata(json, size, dataset->metadata_, error))
        return nullptr;
    dataset->folder_ = std::move(folder);
    dataset->hierarchy_.reset(new (std::nothrow) EptHierarchy(*dataset->folder_));
    if (!dataset->hierarchy_) {
        error = "out of memory";
        return nullptr;
    }
    if (!dataset->hierarchy_->loadRoot(error)) {
        error = "its root hierarchy file cannot be used: " + error;
        return nullptr;
    }
    return dataset;
}

std::unique_ptr<EptDataset> EptDataset::open(std::unique_ptr<ResourceFolder> folder,
                                             std::string& error) {
    if (!folder) {
        error = "out of memory";
        return nullptr;
    }
    std::vector<uint8_t> json;
    if (!folder->readWhole("ept.json", json, error))
        return nullptr;
    return open(std::move(folder), json.data(), json.size(), error);
}

CopcCube EptDataset::cube(const CopcKey& key) const {
    const double edge = metadata_.edge() / std::ldexp(1.0, key.level);
    const int32_t place[3] = {key.x, key.y, key.z};
    CopcCube cube;
    for (int axis = 0; axis < 3; ++axis) {
        cube.low[axis] = metadata_.bounds[axis] + place[axis] * edge;
        cube.high[axis] = cube.low[axis] + edge;
    }
    return cube;
}

double EptDataset::spacing(int level) const {
    const double span = metadata_.span > 0 ? double(metadata_.span) : 128.0;
    return metadata_.edge() / span / std::ldexp(1.0, level);
}

std::string EptDataset::dataFile(const CopcKey& key) const {
    return "ept-data/" + key.text() + (metadata_.dataType == EptDataType::Binary ? ".bin" : ".laz");
}

ColourKind EptDataset::colour() const {
    if (metadata_.red >= 0)
        return ColourKind::Rgb;
    return metadata_.intensity >= 0 ? ColourKind::Intensity : ColourKind::None;
}

void EptDataset::decideColour(const EptNodeDecoder& fetched) const {
    std::call_once(colourDecided_, [&] {
        if (colour() == ColourKind::Rgb)
            wideColour_ = fetched.colourIsWide();
    });
}

bool EptDataset::wideColour() const {
    std::call_once(colourDecided_, [this] {
        if (colour() != ColourKind::Rgb)
            return;
        EptNodeDecoder decoder(*this);
        std::string ignored; // whoever wants the node reports its damage
        std::deque<CopcKey> keys{CopcKey()};
        for (int tries = 0; !keys.empty() && tries < kColourTries;) {
            const CopcKey key = keys.front();
            keys.pop_front();
            EptNode node;
            if (!hierarchy_->find(key, node))
                continue;
            if (node.points > 0) {
                ++tries;
                if (decoder.fetch(node, ignored)) {
                    wideColour_ = decoder.colourIsWide();
                    return;
                }
            }
            if (key.level < kCopcDeepestLevel)
                for (int i = 0; i < 8; ++i)
                    keys.push_back(key.child(i));
        }
    });
    return wideColour_;
}
