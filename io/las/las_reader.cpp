// io/las/las_reader.cpp - a LAS file: its header, then its records decoded from the mapping.
#include "io/las/las_reader.h"

#include "io/las/las_layout.h"
#include "io/records_in_place.h"

#include <algorithm>
#include <string>

ReadResult readLas(const ReadRequest& request) {
    ReadResult result;
    LasLayout layout;
    std::string reason;
    if (!parseLasHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    result.format = lasFormatLine("LAS", layout);
    std::copy(layout.scale, layout.scale + 3, result.precision);
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.declared, INT64_MAX));

    const uint64_t available = layout.dataOffset >= request.size
                                   ? 0
                                   : (request.size - layout.dataOffset) / layout.recordLength;
    const int64_t count = static_cast<int64_t>(std::min<uint64_t>(layout.declared, available));
    if (!allocateRecords(request, count, result))
        return result;
    if (static_cast<uint64_t>(count) < layout.declared)
        result.message = "the file ends after " + std::to_string(count) + " complete records";
    decodeLasRecords(layout, request.bytes + layout.dataOffset, count, request.threads, result);
    return result;
}
