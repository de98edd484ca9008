// viewer/measurement.cpp - the lengths of the measured polyline.
#include "viewer/measurement.h"

#include "viewer/point_query.h"

#include <cmath>

void Measurement::start() {
    active_ = true;
    vertices_.clear();
}

void Measurement::end() {
    active_ = false;
    vertices_.clear();
}

void Measurement::add(const double position[3]) {
    if (active_)
        vertices_.push_back({position[0], position[1], position[2]});
}

SegmentLength Measurement::segment(size_t i) const {
    const std::array<double, 3>& a = vertices_[i];
    const std::array<double, 3>& b = vertices_[i + 1];
    const double dx = b[0] - a[0], dy = b[1] - a[1], dz = b[2] - a[2];
    return {std::sqrt(dx * dx + dy * dy + dz * dz), std::hypot(dx, dy), std::abs(dz)};
}

SegmentLength Measurement::lastSegment() const {
    return vertices_.size() < 2 ? SegmentLength{} : segment(vertices_.size() - 2);
}

double Measurement::length() const {
    double total = 0.0;
    for (size_t i = 0; i + 1 < vertices_.size(); ++i)
        total += segment(i).length;
    return total;
}

std::string Measurement::summary(int decimals) const {
    const SegmentLength last = lastSegment();
    return "measure: " + std::to_string(vertices_.size()) + " points, length " +
           decimalText(length(), decimals) + ", last segment " +
           decimalText(last.length, decimals) + " (horizontal " +
           decimalText(last.horizontal, decimals) + ", vertical " +
           decimalText(last.vertical, decimals) + ")";
}
