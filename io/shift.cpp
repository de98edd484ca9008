// io/shift.cpp - choosing and applying the global shift.
#include "io/shift.h"

#include "io/format_reader.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool chooseShift(const double low[3], const double high[3], double shift[3]) {
    double magnitude = 0.0, extent = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        magnitude = std::max({magnitude, std::fabs(low[axis]), std::fabs(high[axis])});
        extent = std::max(extent, high[axis] - low[axis]);
    }
    // Half a float's unit in the last place is at most magnitude * 2^-24. A single position
    // has no extent to lose precision against.
    const bool needed =
        magnitude > 100000.0 || (extent > 0.0 && magnitude * 0x1p-24 > 1e-5 * extent);
    for (int axis = 0; axis < 3; ++axis)
        shift[axis] = needed ? std::round((low[axis] + high[axis]) * 0.5) : 0.0;
    return needed && (shift[0] != 0.0 || shift[1] != 0.0 || shift[2] != 0.0);
}

void provisionalShift(const double near[3], double shift[3]) {
    for (int axis = 0; axis < 3; ++axis)
        shift[axis] = std::isfinite(near[axis]) && std::fabs(near[axis]) >= 1000.0
                          ? std::round(near[axis])
                          : 0.0;
}

bool provisionalShiftFits(const StoredBox& box) {
    double magnitude = 0.0, extent = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        magnitude = std::max(
            {magnitude, std::fabs(double(box.low[axis])), std::fabs(double(box.high[axis]))});
        extent = std::max(extent, double(box.high[axis]) - double(box.low[axis]));
    }
    // Within twice the extent a float loses at most a bit or two against the best shift; a
    // unit's leeway keeps the rounding of the shift itself from counting.
    return !(magnitude > 2.0 * extent + 1.0);
}

void settleShift(ReadResult& result, const double provisional[3], const StoredBox& box,
                 int threads) {
    const bool wasShifted = provisional[0] != 0.0 || provisional[1] != 0.0 || provisional[2] != 0.0;
    result.shifted = false;
    if (result.count == 0)
        return;
    result.box = box;
    double low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = box.low[axis] + provisional[axis];
        high[axis] = box.high[axis] + provisional[axis];
    }
    double shift[3];
    const bool needed = chooseShift(low, high, shift);
    if (!needed)
        std::fill(shift, shift + 3, 0.0);
    if (!needed && !wasShifted)
        return;
    const double move[3] = {provisional[0] - shift[0], provisional[1] - shift[1],
                            provisional[2] - shift[2]};
    if (move[0] != 0.0 || move[1] != 0.0 || move[2] != 0.0) {
        PointRecord* points = result.points;
        runInParts(result.count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
            for (int64_t i = begin; i < end; ++i) {
                PointRecord& p = points[i];
                p.x = static_cast<float>(p.x + move[0]);
                p.y = static_cast<float>(p.y + move[1]);
                p.z = static_cast<float>(p.z + move[2]);
            }
        });
        // Rounding to float never reverses an order, so the moved box is the moved points' box
        // to the bit: the same sum makes a -0 into +0 here as it does there.
        for (int axis = 0; axis < 3; ++axis) {
            result.box->low[axis] = static_cast<float>(box.low[axis] + move[axis]);
            result.box->high[axis] = static_cast<float>(box.high[axis] + move[axis]);
        }
    }
    result.shifted = needed;
    std::copy(shift, shift + 3, result.shift);
}
