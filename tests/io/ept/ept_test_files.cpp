// tests/io/ept/ept_test_files.cpp - datasets written with the project's own LAZ writer and
// nlohmann::json.
#include "tests/io/ept/ept_test_files.h"

#include "io/laz/compression_record.h"
#include "io/laz/laz_file_writer.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using Json = nlohmann::json;

constexpr double kScale = 0.01;
constexpr double kEdge = 64;

void put(std::vector<uint8_t>& bytes, const void* value, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(value);
    bytes.insert(bytes.end(), p, p + size);
}

int32_t raw(double value, double offset) {
    return int32_t(std::lround((value - offset) / kScale));
}

std::vector<uint8_t> binaryNode(const MadeEptNode& node, double offset, bool attributes) {
    std::vector<uint8_t> bytes;
    for (const MadeEptPoint& p : node.points) {
        for (double v : {p.x, p.y, p.z}) {
            const int32_t r = raw(v, offset);
            put(bytes, &r, 4);
        }
        put(bytes, &p.intensity, 2);
        put(bytes, p.rgb, 6);
        if (!attributes)
            continue;
        // In the order of attributeFields.
        const float degrees = float(p.scanAngle * 0.006);
        put(bytes, &p.returnNumber, 1);
        put(bytes, &p.numberOfReturns, 1);
        put(bytes, &p.classification, 1);
        put(bytes, &p.classFlags, 1);
        put(bytes, &degrees, 4);
        put(bytes, &p.userData, 1);
        put(bytes, &p.pointSource, 2);
        put(bytes, &p.gpsTime, 8);
    }
    return bytes;
}

// LAS 1.4 point format 7, with an offset of its own: a reader must use each file's header.
std::vector<uint8_t> laszipNode(const MadeEptNode& node, double offset) {
    const double own = offset + 1;
    std::vector<uint8_t> records(node.points.size() * 36, 0);
    Las14Header header;
    header.pointFormat = 7;
    header.recordLength = 36;
    for (int axis = 0; axis < 3; ++axis) {
        header.scale[axis] = kScale;
        header.offset[axis] = own;
        header.min[axis] = INFINITY;
        header.max[axis] = -INFINITY;
    }
    for (size_t i = 0; i < node.points.size(); ++i) {
        const MadeEptPoint& p = node.points[i];
        uint8_t* record = records.data() + i * 36;
        const double xyz[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            const int32_t r = raw(xyz[axis], own);
            std::memcpy(record + 4 * axis, &r, 4);
            header.min[axis] = std::min(header.min[axis], xyz[axis]);
            header.max[axis] = std::max(header.max[axis], xyz[axis]);
        }
        std::memcpy(record + 12, &p.intensity, 2);
        record[14] = uint8_t(p.returnNumber | p.numberOfReturns << 4);
        record[15] = p.classFlags;
        record[16] = p.classification;
        record[17] = p.userData;
        std::memcpy(record + 18, &p.scanAngle, 2);
        std::memcpy(record + 20, &p.pointSource, 2);
        std::memcpy(record + 22, &p.gpsTime, 8);
        std::memcpy(record + 30, p.rgb, 6);
    }
    LazLayout layout;
    std::vector<uint8_t> file;
    if (!layeredLazLayout(7, 36, 0, layout) ||
        !writeLazFile(layout, header, {}, records.data(), node.points.size(), lazMemorySink(file)))
        std::fprintf(stderr, "the LAZ writer refused node %s\n", node.key.text().c_str());
    return file;
}

Json field(const char* name, const char* type, int size, double offset = NAN) {
    Json f = {{"name", name}, {"type", type}, {"size", size}};
    if (!std::isnan(offset)) {
        f["scale"] = kScale;
        f["offset"] = offset;
    }
    return f;
}

// The deepest subtree key that covers key (strictly, when strict), else the root.
CopcKey fileOf(const MadeEpt& made, const CopcKey& key, bool strict) {
    CopcKey best;
    for (const CopcKey& subtree : made.subtrees)
        if (subtree.covers(key) && !(strict && subtree == key) && subtree.level >= best.level)
            best = subtree;
    return best;
}

} // namespace

std::vector<uint8_t> textBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

EptFiles makeEptFiles(const MadeEpt& made) {
    const double o = made.origin;
    const double centre = o + kEdge / 2;
    uint64_t points = 0;
    double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    EptFiles files;
    std::map<CopcKey, Json> hierarchy{{CopcKey(), Json::object()}};
    for (const CopcKey& subtree : made.subtrees) {
        hierarchy[subtree] = Json::object();
        hierarchy[subtree][subtree.text()] = 0;
        hierarchy[fileOf(made, subtree, true)][subtree.text()] = -1;
    }
    for (MadeEptNode node : made.nodes) {
        for (MadeEptPoint& p : node.points)
            p.x += o, p.y += o, p.z += o;
        points += node.points.size();
        for (const MadeEptPoint& p : node.points) {
            const double xyz[3] = {p.x, p.y, p.z};
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], std::floor(xyz[axis]));
                high[axis] = std::max(high[axis], std::ceil(xyz[axis]));
            }
        }
        hierarchy[fileOf(made, node.key, false)][node.key.text()] = node.points.size();
        const std::string name = "ept-data/" + node.key.text();
        if (made.type == EptDataType::Binary)
            files[name + ".bin"] = binaryNode(node, centre, made.attributes);
        else
            files[name + ".laz"] = laszipNode(node, centre);
    }
    for (const auto& file : hierarchy)
        files["ept-hierarchy/" + file.first.text() + ".json"] = textBytes(file.second.dump());

    Json schema = {field("X", "signed", 4, centre), field("Y", "signed", 4, centre),
                   field("Z", "signed", 4, centre), field("Intensity", "unsigned", 2),
                   field("Red", "unsigned", 2),     field("Green", "unsigned", 2),
                   field("Blue", "unsigned", 2)};
    if (made.attributes)
        for (const char* name : {"ReturnNumber", "NumberOfReturns", "Classification", "ClassFlags"})
            schema.push_back(field(name, "unsigned", 1));
    if (made.attributes) {
        schema.push_back(field("ScanAngleRank", "float", 4));
        schema.push_back(field("UserData", "unsigned", 1));
        schema.push_back(field("PointSourceId", "unsigned", 2));
        schema.push_back(field("GpsTime", "float", 8));
    }
    Json description = {{"bounds", {o, o, o, o + kEdge, o + kEdge, o + kEdge}},
                        {"boundsConforming", {low[0], low[1], low[2], high[0], high[1], high[2]}},
                        {"dataType", made.type == EptDataType::Binary ? "binary" : "laszip"},
                        {"hierarchyType", "json"},
                        {"points", points},
                        {"schema", schema},
                        {"span", 16},
                        {"srs", {{"wkt", ""}}},
                        {"version", "1.0.0"}};
    files["ept.json"] = textBytes(description.dump(2));
    return files;
}

MadeEpt sampleEpt(EptDataType type) {
    MadeEpt made;
    made.type = type;
    // Level 0 spans the cube sparsely; deeper nodes fill their own cubes.
    auto node = [](CopcKey key, int count, uint16_t shade) {
        MadeEptNode n;
        n.key = key;
        const double edge = kEdge / double(1 << key.level);
        for (int i = 0; i < count; ++i) {
            MadeEptPoint p;
            p.x = key.x * edge + (i * 7 % 97) / 97.0 * edge * 0.99;
            p.y = key.y * edge + (i * 13 % 89) / 89.0 * edge * 0.99;
            p.z = key.z * edge + (i * 5 % 83) / 83.0 * edge * 0.99;
            p.x = std::round(p.x * 100) / 100, p.y = std::round(p.y * 100) / 100;
            p.z = std::round(p.z * 100) / 100;
            p.intensity = uint16_t(100 + i);
            p.rgb[0] = uint16_t(shade * 256), p.rgb[1] = uint16_t(i * 50), p.rgb[2] = 512;
            p.classification = uint8_t(i % 3 == 0 ? 6 : 2 + key.level);
            p.returnNumber = uint8_t(1 + i % 3);
            p.numberOfReturns = 3;
            p.classFlags = uint8_t(i % 5 == 0 ? 8 : i % 7 == 0 ? 1 : 0); // none withheld
            p.userData = uint8_t(shade + i);
            p.scanAngle = int16_t(i * 100 - 1500);
            p.pointSource = uint16_t(1000 + shade);
            p.gpsTime = 1.5e8 + shade * 10 + i * 0.25;
            n.points.push_back(p);
        }
        return n;
    };
    made.nodes = {node({0, 0, 0, 0}, 40, 10), node({1, 0, 0, 0}, 30, 20),
                  node({1, 1, 1, 1}, 25, 30), node({2, 3, 3, 2}, 20, 40),
                  node({2, 2, 2, 3}, 15, 50)};
    made.subtrees = {{1, 1, 1, 1}};
    return made;
}

MadeEpt largerEpt() {
    MadeEpt made = sampleEpt(EptDataType::Binary);
    made.attributes = true;
    for (MadeEptNode& node : made.nodes)
        for (size_t i = 0; node.key.level < 2 && node.points.size() < 1000; ++i)
            node.points.push_back(node.points[i]);
    return made;
}

bool writeEptFiles(const std::string& folder, const EptFiles& files) {
    std::error_code ignored;
    std::filesystem::create_directories(folder + "/ept-hierarchy", ignored);
    std::filesystem::create_directories(folder + "/ept-data", ignored);
    for (const auto& file : files) {
        FILE* out = std::fopen((folder + "/" + file.first).c_str(), "wb");
        if (!out)
            return false;
        const bool written =
            std::fwrite(file.second.data(), 1, file.second.size(), out) == file.second.size();
        if (std::fclose(out) != 0 || !written)
            return false;
    }
    return true;
}

ScratchFolder::ScratchFolder(const std::string& name) {
    static int made = 0;
    path = std::filesystem::temp_directory_path().string() + "/ept-test-" +
           std::to_string(getpid()) + "-" + std::to_string(made++) + "-" + name;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

bool MemoryFolder::readWhole(const std::string& relative, std::vector<uint8_t>& out,
                             std::string& error) {
    ++reads[relative];
    const auto found = files_.find(relative);
    if (found == files_.end()) {
        error = locate(relative) + ": cannot be opened (No such file or directory)";
        return false;
    }
    out = found->second;
    return true;
}
