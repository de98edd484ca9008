// io/copc/copc_octree.cpp - the index through the file's hierarchy, nodes through its chunks.
#include "io/copc/copc_octree.h"

#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_points.h"
#include "io/las/las_record.h"

#include <algorithm>
#include <new>

namespace {

class CopcStreamedDecoder : public StreamedNodeDecoder {
public:
    CopcStreamedDecoder(const CopcFile& file, const double shift[3])
        : file_(file), decoder_(file, LazFields::Viewer), shift_{shift[0], shift[1], shift[2]} {}

    bool decode(const CopcNode& node, std::vector<uint8_t>* fetched,
                std::vector<PointRecord>& points, PointAttributes* attributes,
                std::string& error) override {
        const uint8_t* records = decoder_.decodeRecords(node, error, fetched);
        if (!records)
            return false;
        // The root just decoded settles the colours: its chunk is not read a second time.
        if (node.key == CopcKey())
            file_.decideColourFromRoot(records, node.points);
        points.resize(node.points);
        CopcPointConverter(file_, shift_).convert(records, node.points, points.data());
        if (attributes) {
            const LasLayout& las = file_.las();
            const LasAttributeConversion conversion(las.pointFormat);
            conversion.startColumns(*attributes, las.globalEncoding, node.points);
            const LasAttributeConversion::Columns columns =
                LasAttributeConversion::columnsOf(*attributes);
            for (uint64_t i = 0; i < node.points; ++i)
                conversion.convert(records + i * las.recordLength, columns, size_t(i));
        }
        return true;
    }

private:
    const CopcFile& file_;
    CopcNodeDecoder decoder_;
    double shift_[3];
};

} // namespace

bool CopcOctree::find(const CopcKey& key, CopcNode& node) {
    return file_->hierarchy().find(key, node);
}

std::vector<CopcNode> CopcOctree::children(const CopcKey& key) {
    return file_->hierarchy().children(key);
}

bool CopcOctree::childrenRead(const CopcKey& key, std::vector<CopcNode>& children,
                              std::vector<CopcKey>& pages) {
    return file_->hierarchy().childrenRead(key, children, pages);
}

void CopcOctree::readPage(const CopcKey& page) {
    file_->hierarchy().readPage(page);
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

uint32_t CopcOctree::attributes() const {
    return LasAttributeConversion(file_->las().pointFormat).present;
}

ColourKind CopcOctree::colour() const {
    return file_->las().rgbOffset >= 0 ? ColourKind::Rgb : ColourKind::Intensity;
}

std::string CopcOctree::formatLine() const {
    return lasFormatLine("LAZ", file_->las());
}

void CopcOctree::precision(double step[3]) const {
    std::copy(file_->las().scale, file_->las().scale + 3, step);
}

bool CopcOctree::fetch(const CopcNode& node, std::vector<uint8_t>& data, std::string& error) const {
    return CopcNodeDecoder::readChunk(*file_, node, data, error);
}

std::unique_ptr<StreamedNodeDecoder> CopcOctree::decoder(const double shift[3]) const {
    return std::unique_ptr<StreamedNodeDecoder>(new (std::nothrow)
                                                    CopcStreamedDecoder(*file_, shift));
}
