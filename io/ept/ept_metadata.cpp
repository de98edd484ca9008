// io/ept/ept_metadata.cpp - ept.json read with nlohmann::json, never through a path that throws:
// every value's type is checked before it is taken.
#include "io/ept/ept_metadata.h"

#include "io/point_attributes.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace {

using Json = nlohmann::json;

// The six numbers of a box, low corner first; false unless they are finite and ordered.
bool readBox(const Json& value, double box[6]) {
    if (!value.is_array() || value.size() != 6)
        return false;
    for (size_t i = 0; i < 6; ++i) {
        if (!value[i].is_number())
            return false;
        box[i] = value[i].get<double>();
        if (!std::isfinite(box[i]))
            return false;
    }
    return box[0] <= box[3] && box[1] <= box[4] && box[2] <= box[5];
}

const Json* member(const Json& object, const char* key) {
    const auto at = object.find(key);
    return at == object.end() ? nullptr : &*at;
}

bool readField(const Json& entry, EptField& field, std::string& reason) {
    const Json* name = entry.is_object() ? member(entry, "name") : nullptr;
    if (!name || !name->is_string()) {
        reason = "a schema entry has no name";
        return false;
    }
    field.name = name->get<std::string>();
    const Json* type = member(entry, "type");
    const Json* size = member(entry, "size");
    const std::string typeText = type && type->is_string() ? type->get<std::string>() : "";
    if (typeText == "signed")
        field.type = EptFieldType::Signed;
    else if (typeText == "unsigned")
        field.type = EptFieldType::Unsigned;
    else if (typeText == "float")
        field.type = EptFieldType::Float;
    else {
        reason = "schema entry " + field.name + " has no type signed, unsigned or float";
        return false;
    }
    field.size = size && size->is_number_integer() ? size->get<int>() : 0;
    const bool sizeOk = field.type == EptFieldType::Float ? field.size == 4 || field.size == 8
                                                          : field.size == 1 || field.size == 2 ||
                                                                field.size == 4 || field.size == 8;
    if (!sizeOk) {
        reason = "schema entry " + field.name + " has no usable size";
        return false;
    }
    const Json* scale = member(entry, "scale");
    const Json* offset = member(entry, "offset");
    if (scale || offset) {
        field.scaled = true;
        if ((scale && !scale->is_number()) || (offset && !offset->is_number())) {
            reason = "schema entry " + field.name + " has a scale or offset that is no number";
            return false;
        }
        field.scale = scale ? scale->get<double>() : 1.0;
        field.offset = offset ? offset->get<double>() : 0.0;
        if (!std::isfinite(field.scale) || !(field.scale != 0.0) || !std::isfinite(field.offset)) {
            reason = "schema entry " + field.name + " has an unusable scale or offset";
            return false;
        }
    }
    return true;
}

} // namespace

uint32_t EptMetadata::attributes() const {
    // Compressed nodes are LAS records, which always hold all but the GPS time.
    uint32_t present = dataType == EptDataType::Laszip
                           ? kIntensity | kClassification | kReturns | kFlags | kScanAngle |
                                 kUserData | kPointSource
                           : 0u;
    const struct {
        bool has;
        AttributeBit bit;
    } columns[] = {
        {intensity >= 0, kIntensity},
        {classification >= 0, kClassification},
        {returnNumber >= 0 || numberOfReturns >= 0, kReturns},
        {synthetic >= 0 || keyPoint >= 0 || withheld >= 0 || overlap >= 0 || classFlags >= 0,
         kFlags},
        {scanAngle >= 0, kScanAngle},
        {userData >= 0, kUserData},
        {pointSource >= 0, kPointSource},
        {gpsTime >= 0, kGpsTime}};
    for (const auto& column : columns)
        if (column.has)
            present |= column.bit;
    return present;
}

double EptMetadata::edge() const {
    return std::max({bounds[3] - bounds[0], bounds[4] - bounds[1], bounds[5] - bounds[2]});
}

bool parseEptMetadata(const uint8_t* text, size_t size, EptMetadata& metadata,
                      std::string& reason) {
    metadata = EptMetadata();
    const Json root = Json::parse(text, text + size, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        reason = "not a JSON object";
        return false;
    }
    const Json* bounds = member(root, "bounds");
    if (!bounds || !readBox(*bounds, metadata.bounds)) {
        reason = "no usable bounds (six finite numbers, low corner first)";
        return false;
    }
    if (!(metadata.edge() > 0)) {
        reason = "its bounds have no size";
        return false;
    }
    std::copy(metadata.bounds, metadata.bounds + 6, metadata.conforming);
    if (const Json* conforming = member(root, "boundsConforming")) {
        metadata.hasConforming = readBox(*conforming, metadata.conforming);
        if (!metadata.hasConforming)
            std::copy(metadata.bounds, metadata.bounds + 6, metadata.conforming);
    }
    const Json* points = member(root, "points");
    if (!points || !points->is_number_unsigned()) {
        reason = "no point count";
        return false;
    }
    metadata.points = points->get<uint64_t>();

    const Json* dataType = member(root, "dataType");
    const std::string dataText =
        dataType && dataType->is_string() ? dataType->get<std::string>() : "";
    if (dataText == "laszip")
        metadata.dataType = EptDataType::Laszip;
    else if (dataText == "binary")
        metadata.dataType = EptDataType::Binary;
    else {
        reason = dataText.empty()
                     ? "no dataType"
                     : "its nodes are stored as " + dataText + ", which this program does not read";
        return false;
    }
    const Json* hierarchyType = member(root, "hierarchyType");
    if (hierarchyType &&
        !(hierarchyType->is_string() && hierarchyType->get<std::string>() == "json")) {
        reason = "its hierarchy is stored other than as plain JSON";
        return false;
    }
    if (const Json* span = member(root, "span"); span && span->is_number_integer())
        metadata.span = span->get<int64_t>();
    if (const Json* version = member(root, "version"); version && version->is_string())
        metadata.version = version->get<std::string>();
    if (const Json* srs = member(root, "srs"); srs && srs->is_object())
        if (const Json* wkt = member(*srs, "wkt"); wkt && wkt->is_string())
            metadata.srsWkt = wkt->get<std::string>();

    const Json* schema = member(root, "schema");
    if (!schema || !schema->is_array() || schema->empty()) {
        reason = "no schema";
        return false;
    }
    uint32_t offset = 0;
    for (const Json& entry : *schema) {
        EptField field;
        if (!readField(entry, field, reason))
            return false;
        field.position = int(offset);
        offset += uint32_t(field.size);
        const int index = int(metadata.schema.size());
        int* slot = field.name == "X"                 ? &metadata.x
                    : field.name == "Y"               ? &metadata.y
                    : field.name == "Z"               ? &metadata.z
                    : field.name == "Red"             ? &metadata.red
                    : field.name == "Green"           ? &metadata.green
                    : field.name == "Blue"            ? &metadata.blue
                    : field.name == "Intensity"       ? &metadata.intensity
                    : field.name == "Classification"  ? &metadata.classification
                    : field.name == "ReturnNumber"    ? &metadata.returnNumber
                    : field.name == "NumberOfReturns" ? &metadata.numberOfReturns
                    : field.name == "ScanAngleRank" || field.name == "ScanAngle"
                        ? &metadata.scanAngle
                    : field.name == "UserData"      ? &metadata.userData
                    : field.name == "PointSourceId" ? &metadata.pointSource
                    : field.name == "GpsTime"       ? &metadata.gpsTime
                    : field.name == "Synthetic"     ? &metadata.synthetic
                    : field.name == "KeyPoint"      ? &metadata.keyPoint
                    : field.name == "Withheld"      ? &metadata.withheld
                    : field.name == "Overlap"       ? &metadata.overlap
                    : field.name == "ClassFlags"    ? &metadata.classFlags
                                                    : nullptr;
        // An attribute named twice (ScanAngleRank and ScanAngle) keeps its first field.
        const bool position = slot == &metadata.x || slot == &metadata.y || slot == &metadata.z;
        const bool colour = slot == &metadata.red || slot == &metadata.green ||
                            slot == &metadata.blue || slot == &metadata.intensity;
        if (slot && *slot >= 0 && !position && !colour)
            slot = nullptr;
        if (slot && *slot >= 0) {
            reason = "the schema names " + field.name + " twice";
            return false;
        }
        if (slot)
            *slot = index;
        metadata.schema.push_back(std::move(field));
    }
    metadata.recordLength = offset;
    if (metadata.x < 0 || metadata.y < 0 || metadata.z < 0) {
        reason = "its schema lacks X, Y or Z";
        return false;
    }
    // Colour needs all three channels; one or two alone are left unused.
    if (metadata.red < 0 || metadata.green < 0 || metadata.blue < 0)
        metadata.red = metadata.green = metadata.blue = -1;
    return true;
}
