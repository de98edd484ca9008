// io/e57/e57_decoder.cpp - header, XML, then per scan: its streams, then one loop over its
// records.
#include "io/e57/e57_decoder.h"

#include "io/e57/field_reader.h"
#include "io/e57/paged_file.h"
#include "io/e57/section_streams.h"
#include "io/e57/xml_tree.h"
#include "io/point_records.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// Bytes that count values of this leaf take, saturating rather than wrapping.
uint64_t bytesFor(const FieldCodec& codec, uint64_t count) {
    const uint64_t bits = codec.type == FieldCodec::Float ? (codec.single ? 32 : 64) : codec.bits;
    if (bits == 0)
        return 0;
    if (count > UINT64_MAX / 64)
        return UINT64_MAX;
    return (count * bits + 7) / 8;
}

uint8_t toByte(double v, double lowest, double highest) {
    const double scaled = std::floor((v - lowest) / (highest - lowest) * 255 + 0.5);
    if (!(scaled > 0))
        return 0;
    return scaled >= 255 ? 255 : uint8_t(scaled);
}

void addNote(std::string& message, const std::string& note) {
    if (!message.empty())
        message += "; ";
    message += note;
}

std::string scanLabel(size_t index, const ScanLayout& scan) {
    std::string label = "scan " + std::to_string(index);
    if (!scan.name.empty() && scan.name.size() <= 40 &&
        scan.name.find_first_of("\r\n") == std::string::npos)
        label += " (" + scan.name + ")";
    return label;
}

// Records decoded between two reports of progress.
constexpr uint64_t kProgressRecords = 1 << 14;

// Decodes the records of one scan whose streams are in; returns how many were decoded.
// decodedSoFar hears now and then how many of the n records it will decode are done.
// attributes: whether the file's scans have intensity or class fields, for addAttributes.
uint64_t decodeRecords(const ScanLayout& scan, const SectionStreams& streams, E57PointSink& sink,
                       bool attributes, E57Decoded& result,
                       const std::function<void(uint64_t done, uint64_t n)>& decodedSoFar) {
    const FieldRoles& r = scan.roles;
    auto reader = [&](int leaf) {
        return leaf < 0 ? FieldReader()
                        : FieldReader(scan.leaves[size_t(leaf)], streams.bytes[size_t(leaf)].data(),
                                      streams.size(size_t(leaf)));
    };
    const FieldReader position[3] = {reader(r.position[0]), reader(r.position[1]),
                                     reader(r.position[2])};
    const FieldReader colour[3] = {reader(r.colour[0]), reader(r.colour[1]), reader(r.colour[2])};
    const FieldReader invalidState = reader(r.invalidState);
    const FieldReader colourInvalid = reader(r.colourInvalid);
    // Intensity makes grey for points without colour, and is an attribute of every point.
    const bool wantIntensity = r.intensity >= 0;
    const bool greyIntensity = wantIntensity && (!scan.hasColour() || r.colourInvalid >= 0);
    const FieldReader intensity = reader(r.intensity);
    const FieldReader intensityInvalid = reader(r.intensityInvalid);
    const FieldReader classification = reader(r.classification);
    const bool checkIntensity = wantIntensity && r.intensityInvalid >= 0;

    // No record takes less than a bit of its section, unless every field is constant: such a
    // scan could claim any count for free, so it is held to that too.
    uint64_t n =
        std::min(scan.recordCount,
                 streams.sectionBytes > UINT64_MAX / 8 ? UINT64_MAX : streams.sectionBytes * 8);
    for (int leaf :
         {r.position[0], r.position[1], r.position[2], r.invalidState, r.colour[0], r.colour[1],
          r.colour[2], r.colourInvalid, r.intensity, r.intensityInvalid, r.classification})
        if (leaf >= 0)
            n = std::min(n, reader(leaf).available());

    // Intensity without declared limits is scaled from the values the scan holds.
    double intensityLowest = scan.intensityLowest, intensityHighest = scan.intensityHighest;
    if (greyIntensity && !scan.intensityRangeDeclared) {
        intensityLowest = INFINITY, intensityHighest = -INFINITY;
        for (uint64_t i = 0; i < n; ++i) {
            const double v = intensity.value(i);
            if (std::isfinite(v) && !(checkIntensity && intensityInvalid.value(i) != 0))
                intensityLowest = std::min(intensityLowest, v),
                intensityHighest = std::max(intensityHighest, v);
        }
    }
    const bool greyMeaningful = greyIntensity && intensityHighest > intensityLowest;

    for (uint64_t i = 0; i < n; ++i) {
        if (i % kProgressRecords == 0 && i != 0)
            decodedSoFar(i, n);
        if (r.invalidState >= 0 && invalidState.value(i) != 0) {
            ++result.invalid;
            continue;
        }
        double local[3] = {position[0].value(i), position[1].value(i), position[2].value(i)};
        if (scan.spherical) {
            const double range = local[0], azimuth = local[1], elevation = local[2];
            local[0] = range * std::cos(elevation) * std::cos(azimuth);
            local[1] = range * std::cos(elevation) * std::sin(azimuth);
            local[2] = range * std::sin(elevation);
        }
        double xyz[3];
        scan.pose.apply(local, xyz);
        if (!finitePosition(xyz)) {
            ++result.nonFinite;
            continue;
        }
        uint8_t rgb[3];
        const bool coloured =
            scan.hasColour() && !(r.colourInvalid >= 0 && colourInvalid.value(i) != 0);
        if (coloured)
            for (int c = 0; c < 3; ++c)
                rgb[c] = toByte(colour[c].value(i), scan.colourLowest[c], scan.colourHighest[c]);
        float grey = -1;
        if (!coloured && greyMeaningful && !(checkIntensity && intensityInvalid.value(i) != 0)) {
            const double g =
                (intensity.value(i) - intensityLowest) / (intensityHighest - intensityLowest);
            grey = g > 0 ? (g < 1 ? float(g) : 1.0f) : 0.0f;
        }
        result.anyColour |= coloured;
        result.anyIntensity |= grey >= 0;
        sink.addPoint(xyz, coloured ? rgb : nullptr, grey);
        if (attributes) {
            const bool intensityValid =
                wantIntensity && !(checkIntensity && intensityInvalid.value(i) != 0);
            sink.addAttributes(intensityValid ? intensity.value(i) : NAN,
                               r.classification >= 0 ? classification.value(i) : NAN);
        }
        ++result.kept;
    }
    return n;
}

} // namespace

E57Decoded decodeE57(const uint8_t* bytes, size_t size, E57PointSink& sink) {
    E57Decoded result;
    PagedFile file;
    if (!file.open(bytes, size, result.message))
        return result;

    const E57Header& h = file.header();
    uint64_t xmlStart;
    if (!PagedFile::toLogical(h.xmlPhysicalOffset, xmlStart) || xmlStart > file.logicalSize() ||
        h.xmlLogicalLength > file.logicalSize() - xmlStart) {
        result.message = file.cutShort() ? "file cut short: the XML section is missing"
                                         : "XML section outside the file";
        return result;
    }
    std::string xml(size_t(h.xmlLogicalLength), '\0');
    if (file.read(xmlStart, xml.size(), reinterpret_cast<uint8_t*>(&xml[0])) !=
        PagedFile::Read::Ok) {
        result.message =
            "page " + std::to_string(file.badPage()) + " of the XML section fails its checksum";
        result.checksumFailed = true;
        return result;
    }
    XmlElement root;
    FileLayout layout;
    if (!parseXml(xml.data(), xml.size(), root, result.message) ||
        !describeScans(root, layout, result.message))
        return result;
    std::string().swap(xml);

    result.readable = true;
    result.scans = layout.scans.size();
    result.recordCount = layout.recordCount;
    sink.accepted(layout);
    bool attributes = false;
    for (const ScanLayout& scan : layout.scans)
        attributes |=
            scan.problem.empty() && (scan.roles.intensity >= 0 || scan.roles.classification >= 0);
    // Progress counts records: those of the scans behind, plus the share of the current one.
    const double allRecords = double(layout.recordCount);
    double behind = 0;
    auto report = [&](double within) {
        if (allRecords > 0)
            sink.progress(std::min(1.0, (behind + within) / allRecords));
    };
    ClaimedSections claimed;
    for (size_t index = 0; index < layout.scans.size(); ++index) {
        const ScanLayout& scan = layout.scans[index];
        const double share = double(scan.recordCount);
        if (index > 0)
            behind += double(layout.scans[index - 1].recordCount);
        if (!scan.problem.empty()) {
            addNote(result.message, scanLabel(index, scan) + " skipped: " + scan.problem);
            continue;
        }
        if (scan.recordCount == 0)
            continue;
        const FieldRoles& r = scan.roles;
        std::vector<bool> wanted(scan.leaves.size(), false);
        for (int leaf :
             {r.position[0], r.position[1], r.position[2], r.invalidState, r.colour[0], r.colour[1],
              r.colour[2], r.colourInvalid, r.intensity, r.intensityInvalid, r.classification})
            if (leaf >= 0)
                wanted[size_t(leaf)] = true;
        std::vector<uint64_t> needed(scan.leaves.size());
        for (size_t i = 0; i < scan.leaves.size(); ++i)
            needed[i] = bytesFor(scan.leaves[i], scan.recordCount);

        SectionStreams streams;
        readSectionStreams(file, scan.fileOffset, scan.leaves.size(), wanted, needed, claimed,
                           streams, [&](uint64_t walked, uint64_t sectionBytes) {
                               report(0.5 * share * double(walked) / double(sectionBytes));
                           });
        report(0.5 * share);
        sink.beginScan(scan);
        const uint64_t decoded =
            decodeRecords(scan, streams, sink, attributes, result, [&](uint64_t done, uint64_t n) {
                report(0.5 * share * (1 + double(done) / double(n)));
            });
        report(share);
        result.recordsRead += decoded;
        result.checksumFailed |= streams.badChecksum;
        if (decoded < scan.recordCount)
            addNote(result.message,
                    scanLabel(index, scan) + ": " +
                        (streams.stopped.empty() ? "more records than its section holds"
                                                 : streams.stopped) +
                        ", read " + std::to_string(decoded) + " of " +
                        std::to_string(scan.recordCount) + " records");
    }
    sink.progress(1);
    return result;
}
