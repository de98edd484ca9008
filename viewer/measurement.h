// viewer/measurement.h - a polyline of picked points and its lengths, in file units.
#pragma once

#include <array>
#include <string>
#include <vector>

// The lengths of a segment: along it, across the x-y plane and along z (without its sign).
struct SegmentLength {
    double length = 0.0;
    double horizontal = 0.0;
    double vertical = 0.0;
};

// A measurement while it is active: its vertices in file coordinates, the shift added back, so
// that every length is computed in double from the coordinates as the file has them.
class Measurement {
public:
    // Active, with no vertices.
    void start();
    // No longer active, its vertices gone.
    void end();
    bool active() const { return active_; }
    // Adds a vertex while active; nothing otherwise.
    void add(const double position[3]);

    const std::vector<std::array<double, 3>>& vertices() const { return vertices_; }
    // Segment i, from vertex i to vertex i + 1.
    SegmentLength segment(size_t i) const;
    // The last segment; all 0 with fewer than two vertices.
    SegmentLength lastSegment() const;
    double length() const;
    // "measure: N points, length L, last segment D (horizontal H, vertical V)", each with that
    // many decimals.
    std::string summary(int decimals) const;

private:
    bool active_ = false;
    std::vector<std::array<double, 3>> vertices_;
};
