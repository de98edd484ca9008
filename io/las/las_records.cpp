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

void decodeLasRecords(const LasLayout& layout, const unsigned char* records, int64_t count,
                      int threads, ReadResult& result) {
    // A georeferenced header box puts the provisional shift near the cloud before any record is
    // decoded; settleShift moves it to the real box's centre.
    double centre[3];
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = (layout.low[axis] + layout.high[axis]) * 0.5;
    double shift[3];
    provisionalShift(centre, shift);

    const size_t stride = layout.recordLength;
    const int rgb = layout.rgbOffset;
    // Colours that never exceed 255 are 8-bit values in the 16-bit fields. A 16-bit file shows
    // a larger value within its first records, so the look ahead is short but for 8-bit files.
    std::atomic<bool> wide{false};
    if (rgb >= 0)
        runInParts(count, threads, kSmallestReadPart, [&](int64_t begin, int64_t end, int) {
            for (int64_t i = begin; i < end; ++i) {
                const unsigned char* record = records + static_cast<size_t>(i) * stride + rgb;
                if (std::max({loadLittle<uint16_t>(record), loadLittle<uint16_t>(record + 2),
                              loadLittle<uint16_t>(record + 4)}) > 255) {
                    wide.store(true, std::memory_order_relaxed);
                    return;
                }
                if ((i & 4095) == 0 && wide.load(std::memory_order_relaxed))
                    return;
            }
        });
    const LasPointConversion conversion(layout, shift, wide.load());
    const LasAttributeConversion attributes(layout.pointFormat);
    result.attributes.present = attributes.present;
    result.attributes.resize(static_cast<size_t>(count));
    const LasAttributeConversion::Columns columns =
        LasAttributeConversion::columnsOf(result.attributes);
    PointRecord* points = result.points;
    result.colour = rgb >= 0 ? ColourKind::Rgb : ColourKind::Intensity;
    // Integer positions are never dropped.
    decodeInParts(result, count, threads, shift, [&](int64_t begin, int64_t end) {
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
}
