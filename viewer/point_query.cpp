// viewer/point_query.cpp - the lines of a point's box and the digits of its coordinates.
#include "viewer/point_query.h"

#include "io/classification.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kMostDecimals = 12;

// The fewest decimals that write step exactly (0.01: 2, 0.0025: 4, 1: 0).
int decimalsOfStep(double step) {
    double scaled = step;
    for (int decimals = 0; decimals < kMostDecimals; ++decimals, scaled *= 10.0)
        if (std::abs(scaled - std::round(scaled)) <= 1e-9 * scaled)
            return decimals;
    return kMostDecimals;
}

std::string flagNames(uint8_t flags) {
    const struct {
        uint8_t bit;
        const char* name;
    } names[] = {{kFlagSynthetic, "synthetic"},
                 {kFlagKeyPoint, "key-point"},
                 {kFlagWithheld, "withheld"},
                 {kFlagOverlap, "overlap"}};
    std::string text;
    for (const auto& [bit, name] : names)
        if (flags & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? "none" : text;
}

int colourByte(float value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

} // namespace

int coordinateDecimals(const PointCloud& cloud) {
    if (cloud.precision[0] > 0.0 && cloud.precision[1] > 0.0 && cloud.precision[2] > 0.0)
        return std::max({decimalsOfStep(cloud.precision[0]), decimalsOfStep(cloud.precision[1]),
                         decimalsOfStep(cloud.precision[2])});
    // A float's step at the largest stored coordinate: 2^-23 of its power of two.
    float largest = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
        largest =
            std::max({largest, std::abs(cloud.nearCorner[axis]), std::abs(cloud.farCorner[axis])});
    if (!(largest > 0.0f) || !std::isfinite(largest))
        largest = 1.0f;
    const double step = std::ldexp(1.0, std::ilogb(largest) - 23);
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, kMostDecimals);
}

void fileCoordinates(const PointCloud& cloud, const float stored[3], double position[3]) {
    for (int axis = 0; axis < 3; ++axis)
        position[axis] = static_cast<double>(stored[axis]) + cloud.shift[axis];
}

std::string decimalText(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    // Rounding a small negative value may leave "-0.00".
    const std::string written = text;
    if (written[0] == '-' && written.find_first_not_of("-0.") == std::string::npos)
        return written.substr(1);
    return written;
}

PointQuery queryPosition(const PointCloud& cloud, const float position[3]) {
    PointQuery query;
    query.marked = true;
    double file[3];
    fileCoordinates(cloud, position, file);
    const int decimals = coordinateDecimals(cloud);
    for (int axis = 0; axis < 3; ++axis) {
        query.position[axis] = position[axis];
        query.lines.push_back(std::string(1, char('x' + axis)) + " " +
                              decimalText(file[axis], decimals));
    }
    return query;
}

PointQuery queryPoint(const PointCloud& cloud, int64_t index) {
    return queryRecord(cloud, cloud.points[index], cloud.attributes, static_cast<size_t>(index));
}

PointQuery queryRecord(const PointCloud& cloud, const PointRecord& point,
                       const PointAttributes& attributes, size_t i, const SceneFile* file) {
    const float stored[3] = {point.x, point.y, point.z};
    PointQuery query = queryPosition(cloud, stored);
    std::vector<std::string>& lines = query.lines;
    // In a scene, the file the point came from, and what that file has.
    if (file == nullptr && !cloud.files.empty() && i < attributes.origin.size() &&
        attributes.origin[i] < cloud.files.size())
        file = &cloud.files[attributes.origin[i]];
    if (file != nullptr) {
        query.file = file->name;
        lines.insert(lines.begin(), "file " + file->name);
    }
    if ((file ? file->colour : cloud.colour) == ColourKind::Rgb)
        lines.push_back("colour " + std::to_string(colourByte(point.r)) + " " +
                        std::to_string(colourByte(point.g)) + " " +
                        std::to_string(colourByte(point.b)));

    // A column shorter than the records describes none of them.
    auto has = [&](AttributeBit bit, size_t columnSize) {
        return attributes.has(bit) && (file == nullptr || file->has(bit)) && i < columnSize;
    };
    if (has(kClassification, attributes.classification.size()))
        lines.push_back("class " + std::to_string(attributes.classification[i]) + " " +
                        className(attributes.classification[i]));
    if (has(kIntensity, attributes.intensity.size()))
        lines.push_back("intensity " + std::to_string(attributes.intensity[i]));
    if (has(kReturns, attributes.returns.size()))
        lines.push_back(
            "return " + std::to_string(PointAttributes::returnNumber(attributes.returns[i])) +
            " of " + std::to_string(PointAttributes::numberOfReturns(attributes.returns[i])));
    if (has(kGpsTime, attributes.gpsTime.size()))
        lines.push_back("GPS time " + decimalText(attributes.gpsTime[i], 6));
    if (has(kPointSource, attributes.pointSource.size()))
        lines.push_back("point source " + std::to_string(attributes.pointSource[i]));
    if (has(kScanAngle, attributes.scanAngle.size()))
        lines.push_back("scan angle " +
                        decimalText(attributes.scanAngle[i] * kScanAngleDegrees, 3) + " deg");
    if (has(kUserData, attributes.userData.size()))
        lines.push_back("user data " + std::to_string(attributes.userData[i]));
    if (has(kFlags, attributes.flags.size()))
        lines.push_back("flags " + flagNames(attributes.flags[i]));
    return query;
}
