// io/las/las14_point_encoder.h - one cloud point as a LAS 1.4 record of point format 6 or 7.
#pragma once

#include "io/point_cloud.h"

#include <cstddef>
#include <cstdint>

// Resolved once for a cloud: which format, the scale its coordinates are stored at and which
// columns it has. Attributes the cloud lacks are written as a single return of class 0 with
// every other field 0.
class Las14PointEncoder {
public:
    // Point format 7 when the cloud's colours are the file's own, else 6 (colours made from
    // intensity or height are not the file's and are not written).
    Las14PointEncoder(const PointCloud& cloud, const double scale[3]);

    int pointFormat() const { return colour_ ? 7 : 6; }
    size_t recordLength() const { return colour_ ? 36 : 30; }
    // The integer a stored coordinate (relative to the cloud's shift) is written as.
    int32_t toInteger(float stored, int axis) const;
    // Point i's record, recordLength() bytes, at record. Its position must be finite.
    void encode(int32_t i, unsigned char* record) const;

private:
    const PointCloud& cloud_;
    double scale_[3];
    bool colour_;
};
