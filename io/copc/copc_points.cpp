// io/copc/copc_points.cpp - records to points through the conversion the LAS reader uses.
#include "io/copc/copc_points.h"

#include "io/shift.h"

bool chooseCopcShift(const CopcFile& file, double shift[3]) {
    const bool needed = chooseShift(file.las().low, file.las().high, shift);
    if (!needed)
        shift[0] = shift[1] = shift[2] = 0.0;
    return needed;
}

CopcPointConverter::CopcPointConverter(const CopcFile& file, const double shift[3])
    : stride_(file.las().recordLength), conversion_(file.las(), shift, file.wideColour()),
      colour_(file.las().rgbOffset >= 0 ? ColourKind::Rgb : ColourKind::Intensity) {}

void CopcPointConverter::convert(const uint8_t* records, uint64_t count, PointRecord* out) const {
    for (uint64_t i = 0; i < count; ++i)
        conversion_.convert(records + i * stride_, out[i]);
}
