// io/laz/chunk_decoder.cpp - pointwise chunks (one stream) and layered chunks (one stream per
// field group).
#include "io/laz/chunk_decoder.h"

#include <cstring>

namespace {

uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Layers of each layered item, in the order of their byte counts.
uint32_t layerCount(const LazItem& item) {
    switch (item.type) {
        case LazItemType::Point14:
            return kPoint14Layers;
        case LazItemType::Rgb14:
            return 1;
        case LazItemType::RgbNir14:
            return 2;
        default:
            return item.size; // BYTE14: one per byte
    }
}

uint32_t totalLayers(const LazLayout& layout) {
    uint32_t n = 0;
    for (const LazItem& item : layout.items)
        n += layerCount(item);
    return n;
}

// Whether a viewer needs layer `layer` of item `item`.
bool viewerNeeds(const LazItem& item, uint32_t layer) {
    switch (item.type) {
        case LazItemType::Point14:
            return true;
        case LazItemType::Rgb14:
        case LazItemType::RgbNir14:
            return layer == 0;
        default:
            return false;
    }
}

} // namespace

ChunkDecoder::ChunkDecoder(const LazLayout& layout, LazFields fields)
    : layout_(layout), fields_(fields) {
    for (const LazItem& item : layout_.items) {
        switch (item.type) {
            case LazItemType::Point10:
                point10_ = std::make_unique<Point10Item>();
                break;
            case LazItemType::GpsTime11:
                gps11_ = std::make_unique<GpsTime11Item>();
                break;
            case LazItemType::Rgb12:
                rgb12_ = std::make_unique<Rgb12Item>();
                break;
            case LazItemType::Byte:
                byte_ = std::make_unique<ByteItem>(item.size);
                break;
            case LazItemType::Point14:
                point14_ = std::make_unique<Point14Item>(item.version);
                break;
            case LazItemType::Rgb14:
                rgb14_ = std::make_unique<RgbNir14Item>(item.version, false);
                break;
            case LazItemType::RgbNir14:
                rgb14_ = std::make_unique<RgbNir14Item>(item.version, true);
                break;
            case LazItemType::Byte14:
                byte14_ = std::make_unique<Byte14Item>(item.version, item.size);
                break;
            default:
                break; // parseLazLayout lets no other item through
        }
    }
    if (layout_.layered()) {
        layers_.resize(totalLayers(layout_));
        active_.resize(layers_.size(), nullptr);
    }
}

ChunkDecoder::~ChunkDecoder() = default;

bool ChunkDecoder::start(const uint8_t* begin, const uint8_t* end, uint64_t count, bool cut) {
    begin_ = begin;
    end_ = end;
    count_ = count;
    next_ = 0;
    layeredBytes_ = 0;
    sound_ = 0;
    cut_ = cut;
    valid_ = count != 0 && begin <= end && uint64_t(end - begin) >= layout_.recordLength;
    if (valid_)
        valid_ = layout_.layered() ? startLayered() : startPointwise();
    return valid_;
}

bool ChunkDecoder::read(uint8_t* out, uint64_t n) {
    if (!valid_ || n > count_ - next_)
        return valid_ = false;
    if (n == 0)
        return true;
    if (next_ == 0) {
        std::memcpy(out, begin_, layout_.recordLength);
        out += layout_.recordLength;
        --n;
        ++next_;
    }
    overran_ = false;
    valid_ = layout_.layered() ? readLayered(out, n) : readPointwise(out, n);
    if (valid_ || !overran_)
        sound_ = valid_ ? next_ + n : 0;
    next_ += n;
    return valid_;
}

uint64_t ChunkDecoder::consumed() const {
    if (layout_.layered())
        return layeredBytes_;
    return layout_.recordLength + stream_.consumed();
}

// --- pointwise ---

bool ChunkDecoder::startPointwise() {
    // Each item starts from its part of the raw first point.
    uint32_t at = 0;
    for (const LazItem& item : layout_.items) {
        const uint8_t* first = begin_ + at;
        switch (item.type) {
            case LazItemType::Point10:
                point10_->init(first);
                break;
            case LazItemType::GpsTime11:
                gps11_->init(first);
                break;
            case LazItemType::Rgb12:
                rgb12_->init(first);
                break;
            default:
                byte_->init(first);
                break;
        }
        at += item.size;
    }
    stream_.start(begin_ + layout_.recordLength, end_);
    return true;
}

bool ChunkDecoder::readPointwise(uint8_t* out, uint64_t n) {
    const uint32_t length = layout_.recordLength;
    bool valid = true;
    for (uint64_t i = 0; i < n && valid; ++i) {
        uint8_t* record = out + i * length;
        uint32_t at = 0;
        for (const LazItem& item : layout_.items) {
            switch (item.type) {
                case LazItemType::Point10:
                    point10_->decode(stream_, record + at);
                    break;
                case LazItemType::GpsTime11:
                    valid = gps11_->decode(stream_, record + at) && valid;
                    break;
                case LazItemType::Rgb12:
                    rgb12_->decode(stream_, record + at);
                    break;
                default:
                    byte_->decode(stream_, record + at);
                    break;
            }
            at += item.size;
        }
        // A stream that ran out is corrupt from there on: stop rather than decode noise. When
        // the file ends inside the chunk, the records before this one came from its bytes.
        if (stream_.missing() != 0) {
            overran_ = cut_;
            sound_ = next_ + i;
            valid = false;
        }
    }
    return valid;
}

// --- layered ---

bool layeredChunkExtent(const LazLayout& layout, const uint8_t* begin, const uint8_t* end,
                        uint64_t& bytes, uint64_t& count) {
    const uint64_t layers = totalLayers(layout);
    const uint64_t head = uint64_t(layout.recordLength) + 4 + 4 * layers;
    const uint64_t available = uint64_t(end - begin);
    if (begin > end || available < head)
        return false;
    count = u32(begin + layout.recordLength);
    uint64_t total = head;
    for (uint64_t i = 0; i < layers; ++i)
        total += u32(begin + layout.recordLength + 4 + 4 * i);
    bytes = total;
    return total <= available;
}

bool ChunkDecoder::startLayered() {
    uint64_t stored = 0;
    const bool whole = layeredChunkExtent(layout_, begin_, end_, layeredBytes_, stored);
    // A chunk cut short still has its head, and its layers up to the cut.
    const uint64_t head = uint64_t(layout_.recordLength) + 4 + 4 * layers_.size();
    if ((!whole && !(cut_ && uint64_t(end_ - begin_) >= head)) || stored != count_)
        return false;

    point14_->init(begin_);
    const uint32_t channel = point14_->firstChannel();
    uint32_t at = 0;
    for (const LazItem& item : layout_.items) {
        if (item.type == LazItemType::Rgb14 || item.type == LazItemType::RgbNir14)
            rgb14_->init(begin_ + at, channel);
        else if (item.type == LazItemType::Byte14)
            byte14_->init(begin_ + at, channel);
        at += item.size;
    }

    // Start each wanted, non-empty layer on its own bytes.
    const uint8_t* sizes = begin_ + layout_.recordLength + 4;
    const uint8_t* data = sizes + 4 * layers_.size();
    uint32_t layer = 0;
    for (const LazItem& item : layout_.items) {
        for (uint32_t j = 0; j < layerCount(item); ++j, ++layer) {
            const uint32_t size = u32(sizes + 4 * layer);
            const bool wanted = fields_ == LazFields::All || viewerNeeds(item, j);
            active_[layer] = nullptr;
            if (size != 0 && wanted) {
                // The layers of a cut chunk end at the cut; those past it read as nothing.
                const uint8_t* from = data < end_ ? data : end_;
                const uint8_t* to = uint64_t(end_ - from) < size ? end_ : from + size;
                layers_[layer].start(from, to);
                active_[layer] = &layers_[layer];
            }
            data += size;
        }
    }
    // The XY layer carries what every other layer depends on: only a chunk of one point can
    // do without it.
    return count_ == 1 || active_[kLayerXY] != nullptr;
}

bool ChunkDecoder::readLayered(uint8_t* out, uint64_t n) {
    const uint32_t length = layout_.recordLength;
    bool valid = true;
    for (uint64_t i = 0; i < n && valid; ++i) {
        uint8_t* record = out + i * length;
        const uint32_t itemChannel = point14_->decode(active_.data(), record, valid);
        uint32_t layer = kPoint14Layers;
        uint32_t at = 30;
        for (size_t k = 1; k < layout_.items.size(); ++k) {
            const LazItem& item = layout_.items[k];
            if (item.type == LazItemType::Byte14) {
                byte14_->decode(active_.data() + layer, itemChannel, record + at);
            } else {
                ArithmeticDecoder* nir =
                    item.type == LazItemType::RgbNir14 ? active_[layer + 1] : nullptr;
                rgb14_->decode(active_[layer], nir, itemChannel, record + at);
            }
            layer += layerCount(item);
            at += item.size;
        }
        // A cut chunk is checked at every record, so that those before the cut are kept.
        if (cut_ || (i & 63) == 63 || i + 1 == n)
            for (ArithmeticDecoder* d : active_)
                if (d && d->missing() != 0) {
                    overran_ = cut_;
                    sound_ = next_ + i;
                    valid = false;
                }
    }
    return valid;
}
