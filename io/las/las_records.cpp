// io/las/las_records.cpp - LAS records decoded in place, split over the threads for large files.
#include "io/las/las_layout.h"

#include "io/byte_order.h"
#include "io/format_reader.h"
#include "io/las/las_record.h"
#include "io/records_in_place.h"
#include "io/shift.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

// What the colour fields of the records hold, found before any is decoded.
struct ColourFields {
    bool wide = false; // a component above 255: 16-bit colour, else 8-bit in 16-bit fields
    bool any = false;  // a component other than 0
};

ColourFields scanColours(const unsigned char* records, int64_t count, size_t stride, int rgb,
                         int threads) {
    // A 16-bit file shows a larger value within its first records, so the look ahead is short
    // but for 8-bit files and for files that never filled their colour fields.
    std::atomic<bool> wide{false}, any{false};
    runInParts(count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
        bool anyHere = false;
        for (int64_t i = begin; i < end; ++i) {
            const unsigned char* record = records + static_cast<size_t>(i) * stride + rgb;
            const uint16_t most =
                std::max({loadLittle<uint16_t>(record), loadLittle<uint16_t>(record + 2),
                          loadLittle<uint16_t>(record + 4)});
            anyHere |= most != 0;
            if (most > 255) {
                wide.store(true, std::memory_order_relaxed);
                break;
            }
            if ((i & 4095) == 0 && wide.load(std::memory_order_relaxed))
                break;
        }
        if (anyHere)
            any.store(true, std::memory_order_relaxed);
    });
    return ColourFields{wide.load(), any.load()};
}

bool anyIntensity(const unsigned char* records, int64_t count, size_t stride, int threads) {
    std::atomic<bool> any{false};
    runInParts(count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
        for (int64_t i = begin; i < end && !any.load(std::memory_order_relaxed); ++i)
            if (loadLittle<uint16_t>(records + static_cast<size_t>(i) * stride + 12) != 0)
                any.store(true, std::memory_order_relaxed);
    });
    return any.load();
}

// Whether the header's box and the stored points' (against shift) differ by more than the
// scale, beyond what storing them as floats may have moved them.
bool headerBoxDiffers(const LasLayout& layout, const StoredBox& box, const double shift[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        const double low = double(box.low[axis]) + shift[axis];
        const double high = double(box.high[axis]) + shift[axis];
        const double rounding =
            std::max(std::fabs(double(box.low[axis])), std::fabs(double(box.high[axis]))) * 0x1p-23;
        const double leeway = std::fabs(layout.scale[axis]) + rounding;
        if (!(std::fabs(low - layout.low[axis]) <= leeway) ||
            !(std::fabs(high - layout.high[axis]) <= leeway))
            return true;
    }
    return false;
}

} // namespace

void decodeLasRecords(const LasLayout& layout, const unsigned char* records, int64_t count,
                      int threads, ReadResult& result) {
    const size_t stride = layout.recordLength;
    // Colour fields that are zero in every record were never filled: the points are shown by
    // their intensity, or by height when that is zero too.
    LasLayout decoded = layout;
    ColourFields colours;
    if (layout.rgbOffset >= 0 && count > 0) {
        colours = scanColours(records, count, stride, layout.rgbOffset, threads);
        if (!colours.any) {
            decoded.rgbOffset = -1;
            result.colourNote = "RGB fields all zero";
        }
    }
    result.colour = decoded.rgbOffset >= 0 ? ColourKind::Rgb : ColourKind::Intensity;
    if (!result.colourNote.empty() && !anyIntensity(records, count, stride, threads))
        result.colour = ColourKind::None;

    // A georeferenced header box puts the provisional shift near the cloud before any record is
    // decoded; settleShift moves it to the real box's centre.
    double centre[3];
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = (layout.low[axis] + layout.high[axis]) * 0.5;
    double shift[3];
    provisionalShift(centre, shift);

    PointRecord* points = result.points;
    const LasAttributeConversion attributes(layout.pointFormat);
    attributes.startColumns(result.attributes, layout.globalEncoding, static_cast<size_t>(count));
    const LasAttributeConversion::Columns columns =
        LasAttributeConversion::columnsOf(result.attributes);
    auto decodeAgainst = [&](const double against[3]) {
        const LasPointConversion conversion(decoded, against, colours.wide);
        // Integer positions are never dropped.
        return decodeParts(result, count, threads, [&](int64_t begin, int64_t end) {
            PartFound found;
            for (int64_t i = begin; i < end; ++i) {
                PointRecord& p = points[i];
                const unsigned char* record = records + static_cast<size_t>(i) * stride;
                conversion.convert(record, p);
                attributes.convert(record, columns, static_cast<size_t>(i));
                found.box.add(p);
            }
            return found;
        });
    };
    StoredBox box = decodeAgainst(shift);
    // A header box that does not hold the points (some writers leave it in integer units, or
    // stale) must not cost them precision: they are stored again against their own centre.
    if (count > 0 && !provisionalShiftFits(box)) {
        for (int axis = 0; axis < 3; ++axis)
            centre[axis] = (double(box.low[axis]) + double(box.high[axis])) * 0.5 + shift[axis];
        provisionalShift(centre, shift);
        box = decodeAgainst(shift);
    }
    // Only a whole file's points can show that its header's box is wrong.
    if (count > 0 && static_cast<uint64_t>(count) == layout.declared &&
        headerBoxDiffers(layout, box, shift))
        result.warnings.push_back("header box differs from the points");
    settleShift(result, shift, box, threads);
}
