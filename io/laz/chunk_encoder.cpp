// io/laz/chunk_encoder.cpp - layered chunks: which layers change, then every point after the
// first through the item encoders, one stream per layer.
#include "io/laz/chunk_encoder.h"

#include <algorithm>

namespace {

void appendU32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    out.insert(out.end(), bytes, bytes + 4);
}

// The record bytes (and bits) of each POINT14 layer but XY, in layer order from kLayerZ.
struct LayerBytes {
    uint32_t offset, size;
    uint8_t mask;
};
const LayerBytes kPoint14LayerBytes[kPoint14Layers - 1] = {
    {8, 4, 0xFF},  // z
    {16, 1, 0xFF}, // classification
    {15, 1, 0xCF}, // classification flags, scan direction and edge; not the channel
    {12, 2, 0xFF}, // intensity
    {18, 2, 0xFF}, // scan angle
    {17, 1, 0xFF}, // user data
    {20, 2, 0xFF}, // point source
    {22, 8, 0xFF}, // GPS time
};

bool anyBits(const std::vector<uint8_t>& differ, uint32_t offset, uint32_t size, uint8_t mask) {
    for (uint32_t i = offset; i < offset + size; ++i)
        if (differ[i] & mask)
            return true;
    return false;
}

} // namespace

LazChunkEncoder::LazChunkEncoder(const LazLayout& layout) : layout_(layout) {
    valid_ = layout_.layered() && !layout_.items.empty() &&
             layout_.items[0].type == LazItemType::Point14 && layout_.items[0].size == 30;
    uint32_t at = 0, layers = 0;
    for (size_t k = 0; k < layout_.items.size() && valid_; ++k) {
        const LazItem& item = layout_.items[k];
        valid_ = item.version == 3 || item.version == 4;
        switch (item.type) {
            case LazItemType::Point14:
                valid_ = valid_ && k == 0;
                point14_ = std::make_unique<Point14Encoder>(item.version);
                layers += kPoint14Layers;
                break;
            case LazItemType::Rgb14:
            case LazItemType::RgbNir14: {
                const bool nir = item.type == LazItemType::RgbNir14;
                valid_ = valid_ && !rgb14_ && item.size == (nir ? 8 : 6);
                rgb14_ = std::make_unique<RgbNir14Encoder>(item.version, nir);
                rgbAt_ = at;
                layers += nir ? 2 : 1;
                break;
            }
            case LazItemType::Byte14:
                // Last, as in every standard list: its layers follow the colour's.
                valid_ = valid_ && k + 1 == layout_.items.size() && item.size != 0;
                byte14_ = std::make_unique<Byte14Encoder>(item.version, item.size);
                byteAt_ = at;
                layers += item.size;
                break;
            default:
                valid_ = false;
                break;
        }
        at += item.size;
    }
    valid_ = valid_ && at == layout_.recordLength;
    if (valid_) {
        layers_.resize(layers);
        active_.resize(layers, nullptr);
        differ_.resize(layout_.recordLength);
    }
}

LazChunkEncoder::~LazChunkEncoder() = default;

std::vector<uint8_t> LazChunkEncoder::encode(const uint8_t* records, uint32_t count) {
    std::vector<uint8_t> out;
    encode(records, count, out);
    return out;
}

// One pass over the chunk ORs together how every record differs from the first; a layer whose
// bits never differ is left empty.
void LazChunkEncoder::findChangingLayers(const uint8_t* records, uint32_t count) {
    const uint32_t length = layout_.recordLength;
    std::fill(differ_.begin(), differ_.end(), 0);
    uint8_t* differ = differ_.data();
    for (uint32_t i = 1; i < count; ++i) {
        const uint8_t* record = records + size_t(i) * length;
        for (uint32_t b = 0; b < length; ++b)
            differ[b] |= record[b] ^ records[b];
    }
    active_[kLayerXY] = &layers_[kLayerXY];
    for (uint32_t layer = kLayerZ; layer < kPoint14Layers; ++layer) {
        const LayerBytes& f = kPoint14LayerBytes[layer - 1];
        active_[layer] = anyBits(differ_, f.offset, f.size, f.mask) ? &layers_[layer] : nullptr;
    }
    uint32_t layer = kPoint14Layers;
    const auto use = [&](uint32_t offset, uint32_t size) {
        active_[layer] = anyBits(differ_, offset, size, 0xFF) ? &layers_[layer] : nullptr;
        ++layer;
    };
    for (size_t k = 1; k < layout_.items.size(); ++k) {
        const LazItem& item = layout_.items[k];
        if (item.type == LazItemType::Rgb14 || item.type == LazItemType::RgbNir14) {
            use(rgbAt_, 6);
            if (item.type == LazItemType::RgbNir14)
                use(rgbAt_ + 6, 2);
        } else {
            for (uint32_t b = 0; b < item.size; ++b)
                use(byteAt_ + b, 1);
        }
    }
}

bool LazChunkEncoder::encode(const uint8_t* records, uint32_t count, std::vector<uint8_t>& out) {
    out.clear();
    if (!valid_ || count == 0)
        return false;
    const uint32_t length = layout_.recordLength;
    findChangingLayers(records, count);
    for (ArithmeticEncoder& layer : layers_)
        layer.reset();

    // Each item starts from its part of the raw first point, in the channel it is on.
    point14_->init(records);
    const uint32_t channel = point14_->firstChannel();
    if (rgb14_)
        rgb14_->init(records + rgbAt_, channel);
    if (byte14_)
        byte14_->init(records + byteAt_, channel);
    const bool nir = rgb14_ && layout_.items[1].type == LazItemType::RgbNir14;
    ArithmeticEncoder* const rgbLayer = rgb14_ ? active_[kPoint14Layers] : nullptr;
    ArithmeticEncoder* const nirLayer = nir ? active_[kPoint14Layers + 1] : nullptr;
    ArithmeticEncoder* const* byteLayers =
        active_.data() + kPoint14Layers + (rgb14_ ? 1 : 0) + (nir ? 1 : 0);
    for (uint32_t i = 1; i < count; ++i) {
        const uint8_t* record = records + size_t(i) * length;
        const uint32_t itemChannel = point14_->encode(active_.data(), record);
        if (rgb14_)
            rgb14_->encode(rgbLayer, nirLayer, itemChannel, record + rgbAt_);
        if (byte14_)
            byte14_->encode(byteLayers, itemChannel, record + byteAt_);
    }

    size_t total = length + 4 + 4 * layers_.size();
    for (ArithmeticEncoder* layer : active_)
        if (layer) {
            layer->done();
            total += layer->bytes().size();
        }
    out.reserve(total);
    out.insert(out.end(), records, records + length);
    appendU32(out, count);
    for (ArithmeticEncoder* layer : active_)
        appendU32(out, layer ? uint32_t(layer->bytes().size()) : 0);
    for (ArithmeticEncoder* layer : active_)
        if (layer)
            out.insert(out.end(), layer->bytes().begin(), layer->bytes().end());
    return true;
}
