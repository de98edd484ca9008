// io/las/las14_point_encoder.cpp - the fields at their offsets in a format 6 or 7 record.
#include "io/las/las14_point_encoder.h"

#include "io/byte_order.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint16_t toWord(float colour) {
    return static_cast<uint16_t>(std::lround(std::clamp(colour, 0.0f, 1.0f) * 65535.0f));
}

} // namespace

Las14PointEncoder::Las14PointEncoder(const PointCloud& cloud, const double scale[3])
    : cloud_(cloud), colour_(cloud.colour == ColourKind::Rgb) {
    std::copy(scale, scale + 3, scale_);
}

int32_t Las14PointEncoder::toInteger(float stored, int axis) const {
    return static_cast<int32_t>(std::llround(double(stored) / scale_[axis]));
}

void Las14PointEncoder::encode(int32_t i, unsigned char* r) const {
    const PointRecord& p = cloud_.points[i];
    const PointAttributes& a = cloud_.attributes;
    std::memset(r, 0, recordLength());
    storeLittle(r, toInteger(p.x, 0));
    storeLittle(r + 4, toInteger(p.y, 1));
    storeLittle(r + 8, toInteger(p.z, 2));
    if (a.has(kIntensity))
        storeLittle(r + 12, a.intensity[i]);
    r[14] = a.has(kReturns) ? a.returns[i] : PointAttributes::packReturns(1, 1);
    // Scanner channel, scan direction and edge of flight line (the byte's high half) are not
    // kept by the reader; they stay 0.
    if (a.has(kFlags))
        r[15] = a.flags[i] & 15;
    if (a.has(kClassification))
        r[16] = a.classification[i];
    if (a.has(kUserData))
        r[17] = a.userData[i];
    if (a.has(kScanAngle))
        storeLittle(r + 18, a.scanAngle[i]);
    if (a.has(kPointSource))
        storeLittle(r + 20, a.pointSource[i]);
    if (a.has(kGpsTime))
        storeLittle(r + 22, a.gpsTime[i]);
    if (colour_) {
        storeLittle(r + 30, toWord(p.r));
        storeLittle(r + 32, toWord(p.g));
        storeLittle(r + 34, toWord(p.b));
    }
}
