// io/cloud_union.cpp - the records, columns and facts of several clouds put into one.
#include "io/cloud_union.h"

#include "io/colouring.h"
#include "io/shift.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace {

// Appends part's column (or zeros for a part without it) to the union's at first.
template <class T>
void appendColumn(std::vector<T>& to, const std::vector<T>& from, size_t first, size_t count) {
    if (from.size() >= count)
        std::copy(from.begin(), from.begin() + std::ptrdiff_t(count),
                  to.begin() + ptrdiff_t(first));
}

void appendAttributes(PointAttributes& to, const PointAttributes& from, size_t first,
                      size_t count) {
    forEachColumn(
        [&](auto member, AttributeBit) { appendColumn(to.*member, from.*member, first, count); });
}

// The box of part in file coordinates; false for a part without points.
bool fileBox(const PointCloud& part, double low[3], double high[3]) {
    if (part.count <= 0)
        return false;
    for (int axis = 0; axis < 3; ++axis) {
        // The z bounds pair crosswise (see PointCloud).
        const float a = axis == 2 ? part.farCorner[axis] : part.nearCorner[axis];
        const float b = axis == 2 ? part.nearCorner[axis] : part.farCorner[axis];
        low[axis] = double(a) + part.shift[axis];
        high[axis] = double(b) + part.shift[axis];
    }
    return true;
}

} // namespace

bool combineClouds(std::vector<PointCloud>& parts, const std::vector<std::string>& names,
                   PointCloud& scene, std::string& error, const double* sceneShift) {
    if (parts.size() > kMostSceneFiles) {
        error = "a scene holds at most " + std::to_string(kMostSceneFiles) + " files";
        return false;
    }
    int64_t total = 0;
    double low[3], high[3];
    bool anyBox = false;
    uint32_t present = 0;
    for (const PointCloud& part : parts) {
        total += std::max(part.count, 0);
        present |= part.attributes.present;
        double partLow[3], partHigh[3];
        if (!fileBox(part, partLow, partHigh))
            continue;
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = anyBox ? std::min(low[axis], partLow[axis]) : partLow[axis];
            high[axis] = anyBox ? std::max(high[axis], partHigh[axis]) : partHigh[axis];
        }
        anyBox = true;
    }
    if (total > INT32_MAX) {
        error = "not enough room for " + std::to_string(total) + " points: a cloud holds at most " +
                std::to_string(INT32_MAX);
        return false;
    }
    PointRecord* points = allocatePoints(total);
    if (points == nullptr) {
        error = "not enough memory for the " + std::to_string(total) + " points of the scene";
        return false;
    }
    PointCloud combined;
    combined.points = points;
    combined.count = static_cast<int32_t>(total);
    double shift[3] = {0.0, 0.0, 0.0};
    if (sceneShift) {
        std::copy(sceneShift, sceneShift + 3, shift);
        combined.shifted = shift[0] != 0.0 || shift[1] != 0.0 || shift[2] != 0.0;
    } else {
        combined.shifted = anyBox && chooseShift(low, high, shift);
    }
    std::copy(shift, shift + 3, combined.shift);
    combined.attributes.present = present;
    combined.attributes.resize(size_t(total));
    combined.attributes.origin.assign(size_t(total), 0);

    // The finest step any file keeps on each axis, unless some file keeps none.
    bool everyPrecise = !parts.empty();
    for (const PointCloud& part : parts)
        everyPrecise &= part.count == 0 || (part.precision[0] > 0.0 && part.precision[1] > 0.0 &&
                                            part.precision[2] > 0.0);
    for (int axis = 0; axis < 3; ++axis)
        combined.precision[axis] = everyPrecise ? std::numeric_limits<double>::infinity() : 0.0;

    int64_t first = 0;
    bool anyRgb = false;
    for (size_t index = 0; index < parts.size(); ++index) {
        PointCloud& part = parts[index];
        const int64_t count = std::max(part.count, 0);
        SceneFile file;
        file.name = index < names.size() ? names[index] : std::string();
        file.first = first;
        file.count = count;
        file.format = part.format;
        file.formatDescription = part.formatDescription;
        file.colour = part.colour;
        file.attributes = part.attributes.present;
        // Stored plus the part's shift is the file coordinate, exact in double; the move stores
        // it against the union's shift. A part already against that shift is copied as it is.
        const double move[3] = {part.shift[0] - shift[0], part.shift[1] - shift[1],
                                part.shift[2] - shift[2]};
        const bool same = move[0] == 0.0 && move[1] == 0.0 && move[2] == 0.0;
        for (int64_t i = 0; i < count; ++i) {
            PointRecord record = part.points[i];
            if (!same) {
                record.x = static_cast<float>(double(record.x) + move[0]);
                record.y = static_cast<float>(double(record.y) + move[1]);
                record.z = static_cast<float>(double(record.z) + move[2]);
            }
            points[first + i] = record;
        }
        appendAttributes(combined.attributes, part.attributes, size_t(first), size_t(count));
        std::fill_n(combined.attributes.origin.begin() + first, count, uint16_t(index));
        combined.attributes.gpsStandardTime |=
            part.attributes.has(kGpsTime) && part.attributes.gpsStandardTime;
        if (everyPrecise && count > 0)
            for (int axis = 0; axis < 3; ++axis)
                combined.precision[axis] = std::min(combined.precision[axis], part.precision[axis]);
        combined.dropped += part.dropped;
        for (const std::string& warning : part.warnings)
            combined.warnings.push_back(file.name + ": " + warning);
        anyRgb |= part.colour == ColourKind::Rgb;
        combined.files.push_back(std::move(file));
        first += count;
    }
    // The files without colours of their own are ramped together, each kind over its files.
    for (ColourKind kind : {ColourKind::Intensity, ColourKind::None}) {
        std::vector<RecordRun> runs;
        for (const SceneFile& file : combined.files)
            if (file.colour == kind && file.count > 0)
                runs.push_back(RecordRun{file.first, file.count});
        applyColourKind(points, runs, kind);
    }
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(combined.precision[axis]))
            combined.precision[axis] = 0.0;

    // The format of them all, or else the first besides the native one: what the pan mode and
    // the query's digits go by.
    combined.format = parts.empty() ? Format::Native : parts[0].format;
    for (const PointCloud& part : parts)
        if (part.format != Format::Native && combined.format == Format::Native)
            combined.format = part.format;
    combined.formatDescription = std::to_string(parts.size()) + " files";
    combined.colour = anyRgb || parts.empty() ? ColourKind::Rgb : parts[0].colour;
    combined.computeBounds();

    for (PointCloud& part : parts) {
        releasePoints(part.points);
        part = PointCloud();
    }
    scene = std::move(combined);
    return true;
}
