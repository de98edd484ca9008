// io/pcd/pcd_reader.cpp - a PCD file: its header, the fields that hold position and colour, then
// the body of its data kind.
#include "io/pcd/pcd_reader.h"

#include "io/pcd/pcd_layout.h"

#include <algorithm>
#include <string>

ReadResult readPcd(const ReadRequest& request) {
    ReadResult result;
    PcdLayout layout;
    std::string reason;
    if (!parsePcdHeader(request.bytes, request.size, layout, reason))
        return refusal(reason);
    const PcdFields fields = findPcdFields(layout);
    if (fields.position[0] < 0 || fields.position[1] < 0 || fields.position[2] < 0)
        return refusal("the fields hold no x, y and z");
    static const char* kData[] = {"ascii", "binary", "binary_compressed"};
    result.format = std::string("PCD ") + kData[static_cast<int>(layout.data)];
    result.expected = static_cast<int64_t>(std::min<uint64_t>(layout.points, INT64_MAX));
    result.colour = fields.colour >= 0 || fields.channels() ? ColourKind::Rgb
                    : fields.intensity >= 0                 ? ColourKind::Intensity
                                                            : ColourKind::None;
    // Rows of a depth camera's picture, in the sensor's frame, with where the sensor stood.
    result.organised = layout.height > 1;
    result.viewpoint = layout.viewpoint;

    if (layout.data == PcdLayout::Data::Ascii)
        readPcdAscii(request, layout, fields, result);
    else
        readPcdBinary(request, layout, fields, result);
    return result;
}
