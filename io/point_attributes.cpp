// io/point_attributes.cpp - the columns sized, moved and named together.
#include "io/point_attributes.h"

#include <cstring>
#include <type_traits>

namespace {

// Calls visit(column, bit) for each column, so that one list names them all.
template <class Attributes, class Visit> void eachColumn(Attributes& a, Visit visit) {
    visit(a.intensity, kIntensity);
    visit(a.classification, kClassification);
    visit(a.returns, kReturns);
    visit(a.flags, kFlags);
    visit(a.scanAngle, kScanAngle);
    visit(a.userData, kUserData);
    visit(a.pointSource, kPointSource);
    visit(a.gpsTime, kGpsTime);
}

} // namespace

void PointAttributes::resize(size_t count) {
    eachColumn(*this, [this, count](auto& column, AttributeBit bit) {
        if (has(bit))
            column.resize(count);
        else
            std::decay_t<decltype(column)>().swap(column);
    });
}

void PointAttributes::moveDown(size_t to, size_t from, size_t count) {
    if (to == from || count == 0)
        return;
    auto move = [=](auto& column, AttributeBit) {
        if (from + count <= column.size())
            std::memmove(column.data() + to, column.data() + from, count * sizeof column[0]);
    };
    eachColumn(*this, move);
    move(origin, AttributeBit());
}

size_t PointAttributes::bytesPerPoint() const {
    size_t bytes = 0;
    eachColumn(*this, [this, &bytes](const auto& column, AttributeBit bit) {
        if (has(bit))
            bytes += sizeof column[0];
    });
    return bytes + (origin.empty() ? 0 : sizeof origin[0]);
}

const char* attributeName(AttributeBit bit) {
    switch (bit) {
        case kIntensity:
            return "intensity";
        case kClassification:
            return "classification";
        case kReturns:
            return "returns";
        case kFlags:
            return "flags";
        case kScanAngle:
            return "scan-angle";
        case kUserData:
            return "user-data";
        case kPointSource:
            return "point-source";
        case kGpsTime:
            return "gps-time";
    }
    return "";
}
