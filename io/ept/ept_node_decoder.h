// io/ept/ept_node_decoder.h - one node's data file fetched and decoded to points, whatever the
// dataset stores them as.
#pragma once

#include "io/ept/ept_dataset.h"
#include "io/las/las_layout.h"
#include "io/point_attributes.h"
#include "io/point_records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The shift for a whole dataset, chosen before any node is decoded, from the data's box (the
// conforming bounds). False, with a zero shift, when none is needed.
bool chooseEptShift(const EptDataset& dataset, double shift[3]);

// Turns node data into points stored as float(file - shift), with the dataset's one colour
// decision. Holds nothing that changes, so every decoding thread may share one.
class EptPointConverter {
public:
    EptPointConverter(const EptDataset& dataset, const double shift[3]);
    // Rgb, Intensity (the raw intensity left in r, g and b for the caller to scale) or None.
    ColourKind colour() const { return colour_; }
    const double* shift() const { return shift_; }
    bool wideColour() const { return wide_; }

private:
    double shift_[3];
    ColourKind colour_;
    bool wide_;
};

// Decodes nodes of one dataset, one at a time: its buffers are its own, so each thread that
// decodes keeps one. The dataset must outlive it.
class EptNodeDecoder {
public:
    explicit EptNodeDecoder(const EptDataset& dataset) : dataset_(dataset) {}

    // Fetches node's file and checks it holds node.points points: a compressed LAS file whose
    // header says so and whose chunks all decode, or exactly that many binary records. False
    // with a one-line reason naming the node when it is missing, cut short or corrupt.
    bool fetch(const EptNode& node, std::string& error);
    // The same for a file already fetched (taken from bytes, which is left empty).
    bool accept(const EptNode& node, std::vector<uint8_t>& bytes, std::string& error);
    // Whether the fetched node's 16-bit colours exceed 255 anywhere.
    bool colourIsWide() const;
    // The fetched node's points, node.points of them, into points.
    void convert(const EptPointConverter& converter, PointRecord* points) const;
    // The fetched node's attribute columns, those the schema names (metadata().attributes()),
    // node.points entries each, into attributes (its present bits set to them). Compressed
    // nodes give them from each record, as a LAS file does; a column the node's point format
    // lacks (GPS time) is zero.
    void attributes(PointAttributes& attributes) const;
    // Both at once.
    bool decodePoints(const EptNode& node, const EptPointConverter& converter, PointRecord* points,
                      std::string& error);

private:
    const EptDataset& dataset_;
    std::vector<uint8_t> bytes_;         // the node's file
    std::unique_ptr<uint8_t[]> records_; // a compressed node's records
    uint64_t recordsRoom_ = 0;           // bytes
    LasLayout layout_;                   // a compressed node's own header
    uint64_t count_ = 0;
};
