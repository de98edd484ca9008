// io/ept/ept_reader.cpp - the whole hierarchy read, every node decoded into its own points on the
// threads, then the nodes joined in key order and the shift settled.
#include "io/ept/ept_reader.h"

#include "io/damage_line.h"
#include "io/ept/ept_node_decoder.h"
#include "io/shift.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Node files fetched at once.
constexpr size_t kBatch = 64;

// Entry k of from's columns into entry at of to's, for the columns both have.
void copyAttributeEntry(const PointAttributes& from, size_t k, PointAttributes& to, size_t at) {
    const uint32_t both = from.present & to.present;
    forEachColumn([&](auto member, AttributeBit bit) {
        if (both & bit)
            (to.*member)[at] = (from.*member)[k];
    });
}

} // namespace

ReadResult readEptDataset(EptDataset& dataset, const ReadRequest& request) {
    const EptMetadata& metadata = dataset.metadata();
    EptHierarchy& hierarchy = dataset.hierarchy();
    hierarchy.loadAll();
    std::vector<EptNode> nodes = hierarchy.nodes();
    nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                               [](const EptNode& node) { return node.points == 0; }),
                nodes.end());

    ReadResult result;
    result.format = "EPT " + (metadata.version.empty() ? std::string("1.0.0") : metadata.version) +
                    ", " + metadata.dataTypeName();
    result.expected = int64_t(std::min<uint64_t>(metadata.points, INT64_MAX));
    for (int axis = 0; axis < 3; ++axis) {
        const EptField& field = metadata.schema[axis == 0   ? metadata.x
                                                : axis == 1 ? metadata.y
                                                            : metadata.z];
        result.precision[axis] =
            field.scaled && field.type != EptFieldType::Float ? field.scale : 0.0;
    }
    if (request.headerAccepted)
        request.headerAccepted();

    double shift[3];
    chooseEptShift(dataset, shift);
    std::vector<std::vector<PointRecord>> points(nodes.size());
    std::vector<PointAttributes> columns(nodes.size());
    std::vector<std::string> errors(nodes.size());
    std::unique_ptr<EptPointConverter> converter;
    // Decodes the fetched file of node i into its own points. A node's count is checked against
    // its file before room is made for it, so a hierarchy claiming vast counts costs nothing.
    auto decode = [&](EptNodeDecoder& decoder, size_t i, ResourceFolder::WholeFile& file) {
        if (!file.ok) {
            errors[i] = "node " + nodes[i].key.text() + " cannot be read: " + file.error;
            return false;
        }
        if (!decoder.accept(nodes[i], file.bytes, errors[i]))
            return false;
        if (nodes[i].points > points[i].max_size()) {
            errors[i] = "node " + nodes[i].key.text() + " is too large";
            return false;
        }
        points[i].resize(nodes[i].points);
        return true;
    };
    // Files are fetched a batch at a time (over HTTP the batch's requests all in flight), then
    // decoded on the threads.
    for (size_t first = 0; first < nodes.size(); first += kBatch) {
        const size_t count = std::min(kBatch, nodes.size() - first);
        std::vector<ResourceFolder::WholeFile> files(count);
        for (size_t i = 0; i < count; ++i)
            files[i].relative = dataset.dataFile(nodes[first + i].key);
        dataset.folder().readMany(files);
        size_t from = 0;
        if (!converter) {
            // The root, first in key order, is the node the colour decision would fetch.
            EptNodeDecoder decoder(dataset);
            const bool root = nodes[0].key.level == 0 && decode(decoder, 0, files[0]);
            if (root)
                dataset.decideColour(decoder);
            converter.reset(new (std::nothrow) EptPointConverter(dataset, shift));
            if (!converter) {
                result.status = ReadStatus::CannotAllocate;
                return result;
            }
            if (root) {
                decoder.convert(*converter, points[0].data());
                decoder.attributes(columns[0]);
            }
            from = nodes[0].key.level == 0 ? 1 : 0;
        }
        runInParts(int64_t(count - from), std::max(request.threads, 1),
                   [&](int64_t begin, int64_t end, int) {
                       EptNodeDecoder decoder(dataset);
                       for (int64_t at = begin; at < end; ++at) {
                           const size_t i = first + from + size_t(at);
                           if (decode(decoder, i, files[from + size_t(at)])) {
                               decoder.convert(*converter, points[i].data());
                               decoder.attributes(columns[i]);
                           }
                       }
                   });
    }
    result.colour = dataset.colour();

    std::vector<std::string> damage = hierarchy.takeDamage();
    uint64_t total = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!errors[i].empty())
            damage.push_back(errors[i]);
        total += points[i].size();
    }
    result.message = joinDamage(damage);
    result.points = allocatePoints(int64_t(std::min<uint64_t>(total, INT64_MAX)));
    if (!result.points) {
        result.status = ReadStatus::CannotAllocate;
        return result;
    }
    result.attributes.present = metadata.attributes();
    result.attributes.resize(size_t(total));
    // Points whose position is not finite (a binary float field) are left out and counted.
    StoredBox box;
    int64_t count = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const std::vector<PointRecord>& node = points[i];
        for (size_t k = 0; k < node.size(); ++k) {
            const PointRecord& p = node[k];
            if (!finitePosition(p.x, p.y, p.z)) {
                ++result.dropped;
                continue;
            }
            copyAttributeEntry(columns[i], k, result.attributes, size_t(count));
            result.points[count++] = p;
            box.add(p);
        }
        std::vector<PointRecord>().swap(points[i]);
        columns[i] = PointAttributes();
    }
    result.attributes.resize(size_t(count));
    result.count = count;
    result.box = box;
    settleShift(result, shift, box, request.threads);
    return result;
}

ReadResult readEpt(const ReadRequest& request) {
    std::string reason;
    std::unique_ptr<EptDataset> dataset = EptDataset::open(openLocalFolder(folderOf(request.path)),
                                                           request.bytes, request.size, reason);
    if (!dataset)
        return refusal(reason);
    return readEptDataset(*dataset, request);
}

std::string eptInfoLine(EptDataset& dataset) {
    EptHierarchy& hierarchy = dataset.hierarchy();
    hierarchy.loadAll();
    const EptHierarchySummary summary = hierarchy.summary();
    return "ept: depth " + std::to_string(std::max(summary.depth, 0)) + ", " +
           std::to_string(summary.nodes) + " nodes, span " +
           std::to_string(dataset.metadata().span) + ", data " + dataset.metadata().dataTypeName();
}
