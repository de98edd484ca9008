// io/ept/ept_node_decoder.cpp - compressed nodes through the LAZ decoder and each file's own
// header, binary nodes field by field from the schema.
#include "io/ept/ept_node_decoder.h"

#include "io/byte_order.h"
#include "io/las/las_record.h"
#include "io/laz/laz_file.h"
#include "io/shift.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

double fieldValue(const EptField& field, const uint8_t* record) {
    const uint8_t* at = record + field.position;
    double raw = 0.0;
    switch (field.type) {
        case EptFieldType::Float:
            raw = field.size == 4 ? double(loadLittle<float>(at)) : loadLittle<double>(at);
            break;
        case EptFieldType::Signed:
            raw = field.size == 1   ? double(int8_t(at[0]))
                  : field.size == 2 ? double(loadLittle<int16_t>(at))
                  : field.size == 4 ? double(loadLittle<int32_t>(at))
                                    : double(loadLittle<int64_t>(at));
            break;
        case EptFieldType::Unsigned:
            raw = field.size == 1   ? double(at[0])
                  : field.size == 2 ? double(loadLittle<uint16_t>(at))
                  : field.size == 4 ? double(loadLittle<uint32_t>(at))
                                    : double(loadLittle<uint64_t>(at));
            break;
    }
    return field.scaled ? raw * field.scale + field.offset : raw;
}

// The nearest value of T, saturating; NaN is 0.
template <class T> T clampTo(double value) {
    if (!(value == value))
        return T(0);
    const double low = double(std::numeric_limits<T>::min());
    const double high = double(std::numeric_limits<T>::max());
    return T(std::lround(std::min(high, std::max(low, value))));
}

// The columns of from that to has, entry for entry.
void keepColumns(const PointAttributes& from, PointAttributes& to) {
    if (to.has(kIntensity))
        to.intensity = from.intensity;
    if (to.has(kClassification))
        to.classification = from.classification;
    if (to.has(kReturns))
        to.returns = from.returns;
    if (to.has(kFlags))
        to.flags = from.flags;
    if (to.has(kScanAngle))
        to.scanAngle = from.scanAngle;
    if (to.has(kUserData))
        to.userData = from.userData;
    if (to.has(kPointSource))
        to.pointSource = from.pointSource;
    // A point format without GPS time leaves its column zero.
    if (to.has(kGpsTime) && from.has(kGpsTime))
        to.gpsTime = from.gpsTime;
}

} // namespace

bool chooseEptShift(const EptDataset& dataset, double shift[3]) {
    const double* box = dataset.metadata().conforming;
    const bool needed = chooseShift(box, box + 3, shift);
    if (!needed)
        shift[0] = shift[1] = shift[2] = 0.0;
    return needed;
}

EptPointConverter::EptPointConverter(const EptDataset& dataset, const double shift[3])
    : shift_{shift[0], shift[1], shift[2]}, colour_(dataset.colour()), wide_(dataset.wideColour()) {
}

bool EptNodeDecoder::fetch(const EptNode& node, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!dataset_.folder().readWhole(dataset_.dataFile(node.key), bytes, why)) {
        count_ = 0;
        error = "node " + node.key.text() + " cannot be read: " + why;
        return false;
    }
    return accept(node, bytes, error);
}

bool EptNodeDecoder::accept(const EptNode& node, std::vector<uint8_t>& bytes, std::string& error) {
    count_ = 0;
    bytes_.swap(bytes);
    std::vector<uint8_t>().swap(bytes);
    const std::string name = "node " + node.key.text();
    std::string why;
    const EptMetadata& metadata = dataset_.metadata();
    if (metadata.dataType == EptDataType::Binary) {
        const uint64_t want = node.points * metadata.recordLength;
        if (node.points > UINT64_MAX / metadata.recordLength || bytes_.size() != want) {
            error = name + " holds " + std::to_string(bytes_.size()) + " bytes, not the " +
                    std::to_string(node.points) + " records of " +
                    std::to_string(metadata.recordLength) + " bytes its count says";
            return false;
        }
        count_ = node.points;
        return true;
    }

    LazFileInfo info;
    const std::string refusal = readLazFileInfo(bytes_.data(), bytes_.size(), info);
    if (!refusal.empty() || !parseLasHeader(bytes_.data(), bytes_.size(), layout_, why)) {
        error = name + " is not a usable LAZ file: " + (refusal.empty() ? why : refusal);
        return false;
    }
    if (info.pointCount != node.points) {
        error = name + " holds " + std::to_string(info.pointCount) +
                " points, the hierarchy says " + std::to_string(node.points);
        return false;
    }
    // The count was checked against the hierarchy only: ask for its room without throwing.
    const uint64_t need = node.points * info.recordLength;
    if (info.recordLength == 0 || node.points > UINT64_MAX / info.recordLength) {
        error = name + " is corrupt";
        return false;
    }
    if (need > recordsRoom_) {
        records_.reset(new (std::nothrow) uint8_t[need]);
        recordsRoom_ = records_ ? need : 0;
        if (!records_) {
            error = name + " has more points (" + std::to_string(node.points) +
                    ") than there is memory for";
            return false;
        }
    }
    const LazDecodeResult decoded =
        decodeLazFileInto(bytes_.data(), bytes_.size(), info, LazFields::All, 1, records_.get());
    if (decoded.decoded != node.points) {
        error = name + " is corrupt: " + decoded.message();
        return false;
    }
    if ((layout_.rgbOffset >= 0) != (dataset_.colour() == ColourKind::Rgb)) {
        error = name + (layout_.rgbOffset >= 0 ? " has colours the schema lacks"
                                               : " lacks the colours the schema names");
        return false;
    }
    count_ = node.points;
    return true;
}

bool EptNodeDecoder::colourIsWide() const {
    const EptMetadata& metadata = dataset_.metadata();
    if (metadata.dataType == EptDataType::Laszip)
        return lasColourIsWide(records_.get(), count_, layout_.recordLength, layout_.rgbOffset);
    if (metadata.red < 0)
        return false;
    for (uint64_t i = 0; i < count_; ++i) {
        const uint8_t* record = bytes_.data() + i * metadata.recordLength;
        for (int channel : {metadata.red, metadata.green, metadata.blue})
            if (fieldValue(metadata.schema[channel], record) > 255.0)
                return true;
    }
    return false;
}

void EptNodeDecoder::convert(const EptPointConverter& converter, PointRecord* points) const {
    const EptMetadata& metadata = dataset_.metadata();
    if (metadata.dataType == EptDataType::Laszip) {
        const LasPointConversion conversion(layout_, converter.shift(), converter.wideColour());
        for (uint64_t i = 0; i < count_; ++i)
            conversion.convert(records_.get() + i * layout_.recordLength, points[i]);
        return;
    }
    const EptField& x = metadata.schema[metadata.x];
    const EptField& y = metadata.schema[metadata.y];
    const EptField& z = metadata.schema[metadata.z];
    const double* shift = converter.shift();
    const ColourKind colour = converter.colour();
    // A 16-bit field holding 8-bit values is scaled as 8-bit, as in the LAS family.
    auto scaleOf = [&](int channel) {
        return metadata.schema[channel].size == 1 || !converter.wideColour() ? 1.0 / 255.0
                                                                             : 1.0 / 65535.0;
    };
    const double colourScale = colour == ColourKind::Rgb ? scaleOf(metadata.red) : 1.0;
    for (uint64_t i = 0; i < count_; ++i) {
        const uint8_t* record = bytes_.data() + i * metadata.recordLength;
        PointRecord& p = points[i];
        p.x = float(fieldValue(x, record) - shift[0]);
        p.y = float(fieldValue(y, record) - shift[1]);
        p.z = float(fieldValue(z, record) - shift[2]);
        if (colour == ColourKind::Rgb) {
            p.r = float(fieldValue(metadata.schema[metadata.red], record) * colourScale);
            p.g = float(fieldValue(metadata.schema[metadata.green], record) * colourScale);
            p.b = float(fieldValue(metadata.schema[metadata.blue], record) * colourScale);
        } else if (colour == ColourKind::Intensity) {
            p.r = p.g = p.b = float(fieldValue(metadata.schema[metadata.intensity], record));
        } else {
            p.r = p.g = p.b = 0.0f;
        }
    }
}

void EptNodeDecoder::attributes(PointAttributes& out) const {
    const EptMetadata& metadata = dataset_.metadata();
    out.present = metadata.attributes();
    out.resize(size_t(count_));
    if (metadata.dataType == EptDataType::Laszip) {
        PointAttributes all;
        const LasAttributeConversion conversion(layout_.pointFormat);
        all.present = conversion.present;
        all.resize(size_t(count_));
        const LasAttributeConversion::Columns columns = LasAttributeConversion::columnsOf(all);
        for (uint64_t i = 0; i < count_; ++i)
            conversion.convert(records_.get() + i * layout_.recordLength, columns, size_t(i));
        keepColumns(all, out);
        return;
    }
    const uint8_t* records = bytes_.data();
    const uint32_t stride = metadata.recordLength;
    auto column = [&](int index, auto& values, auto convert) {
        if (index < 0)
            return;
        const EptField& field = metadata.schema[size_t(index)];
        for (uint64_t i = 0; i < count_; ++i)
            values[size_t(i)] = convert(fieldValue(field, records + i * stride));
    };
    column(metadata.intensity, out.intensity, clampTo<uint16_t>);
    column(metadata.classification, out.classification, clampTo<uint8_t>);
    column(metadata.userData, out.userData, clampTo<uint8_t>);
    column(metadata.pointSource, out.pointSource, clampTo<uint16_t>);
    column(metadata.gpsTime, out.gpsTime, [](double v) { return v; });
    column(metadata.scanAngle, out.scanAngle,
           [](double degrees) { return clampTo<int16_t>(degrees / kScanAngleDegrees); });
    // Returns and flags gather several fields into one byte.
    if (out.has(kReturns))
        for (uint64_t i = 0; i < count_; ++i) {
            const uint8_t* record = records + i * stride;
            auto part = [&](int index) {
                return index < 0 ? 0
                                 : int(clampTo<uint8_t>(
                                       fieldValue(metadata.schema[size_t(index)], record)));
            };
            out.returns[size_t(i)] = PointAttributes::packReturns(part(metadata.returnNumber),
                                                                  part(metadata.numberOfReturns));
        }
    if (out.has(kFlags))
        for (uint64_t i = 0; i < count_; ++i) {
            const uint8_t* record = records + i * stride;
            auto set = [&](int index) {
                return index >= 0 && fieldValue(metadata.schema[size_t(index)], record) != 0.0;
            };
            uint8_t flags =
                metadata.classFlags < 0
                    ? 0
                    : uint8_t(clampTo<uint8_t>(fieldValue(
                                  metadata.schema[size_t(metadata.classFlags)], record)) &
                              15);
            flags |= (set(metadata.synthetic) ? kFlagSynthetic : 0) |
                     (set(metadata.keyPoint) ? kFlagKeyPoint : 0) |
                     (set(metadata.withheld) ? kFlagWithheld : 0) |
                     (set(metadata.overlap) ? kFlagOverlap : 0);
            out.flags[size_t(i)] = flags;
        }
}

bool EptNodeDecoder::decodePoints(const EptNode& node, const EptPointConverter& converter,
                                  PointRecord* points, std::string& error) {
    if (!fetch(node, error))
        return false;
    convert(converter, points);
    return true;
}
