// io/point_attributes.cpp - the columns sized, moved and named together.
#include "io/point_attributes.h"

#include <cstring>
#include <type_traits>

void PointAttributes::resize(size_t count) {
    forEachColumn([this, count](auto member, AttributeBit bit) {
        auto& column = this->*member;
        if (has(bit))
            column.resize(count);
        else
            std::decay_t<decltype(column)>().swap(column);
    });
}

void PointAttributes::moveDown(size_t to, size_t from, size_t count) {
    if (to == from || count == 0)
        return;
    auto move = [=](auto& column) {
        if (from + count <= column.size())
            std::memmove(column.data() + to, column.data() + from, count * sizeof column[0]);
    };
    forEachColumn([this, &move](auto member, AttributeBit) { move(this->*member); });
    move(origin);
}

size_t PointAttributes::bytesPerPoint() const {
    size_t bytes = 0;
    forEachColumn([this, &bytes](auto member, AttributeBit bit) {
        if (has(bit))
            bytes += sizeof(this->*member)[0];
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
