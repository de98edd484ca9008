// io/e57/e57_reader.cpp - the E57 decoder's points into the shared cloud builder.
#include "io/e57/e57_reader.h"

#include "io/attribute_staging.h"
#include "io/cloud_builder.h"
#include "io/e57/e57_decoder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace {

// Colourless points of a file that has colour elsewhere (an uncoloured scan, a record whose
// colour is marked invalid) show grey from their intensity, or white.
class BuilderSink : public E57PointSink {
public:
    BuilderSink(CloudBuilder& builder, const ReadRequest& request)
        : builder_(builder), fileSize_(request.size), headerAccepted_(request.headerAccepted),
          progress_(request.progress) {}
    bool failed = false;
    // The intensity and class of the points stored, when the scans have them.
    AttributeStaging staging{false, false};

    // Room for the records up front, within what the file's size makes believable (a real
    // record takes a dozen bytes or more); a file that packs tighter grows the storage as it
    // goes. With the room had, the file opens whatever its body holds, so the window may open
    // while the scans are decoded.
    void accepted(const FileLayout& layout) override {
        bool intensity = false, classification = false;
        for (const ScanLayout& scan : layout.scans) {
            intensity |= scan.problem.empty() && scan.roles.intensity >= 0;
            classification |= scan.problem.empty() && scan.roles.classification >= 0;
        }
        staging = AttributeStaging(intensity, classification);
        if (reserveLikely(layout.recordCount) && headerAccepted_)
            headerAccepted_();
    }
    void beginScan(const ScanLayout& scan) override { reserveLikely(scan.recordCount); }

    void addPoint(const double xyz[3], const uint8_t* rgb, float grey) override {
        float c[3] = {1.0f, 1.0f, 1.0f};
        if (rgb)
            for (int i = 0; i < 3; ++i)
                c[i] = float(rgb[i]) / 255.0f;
        else if (grey >= 0)
            c[0] = c[1] = c[2] = grey;
        const int64_t before = builder_.count();
        failed |= !builder_.add(xyz[0], xyz[1], xyz[2], c[0], c[1], c[2]);
        stored_ = builder_.count() > before;
    }
    void addAttributes(double intensity, double classification) override {
        if (stored_ && staging.any())
            staging.append(intensity, classification);
    }

    // The share of the work done stands for the share of the file read: the binary sections
    // make up nearly all of it.
    void progress(double done) override {
        if (!progress_)
            return;
        ReadProgress p;
        p.bytesTotal = int64_t(std::min<size_t>(fileSize_, INT64_MAX));
        p.bytesRead = std::min(p.bytesTotal, int64_t(done * double(p.bytesTotal)));
        p.pointsRead = builder_.count();
        progress_(p);
    }

private:
    bool reserveLikely(uint64_t records) {
        const uint64_t likely = std::min<uint64_t>(records, fileSize_ / 12 + 1024);
        return builder_.reserve(builder_.count() + int64_t(likely));
    }

    CloudBuilder& builder_;
    bool stored_ = false; // whether the last point was stored
    size_t fileSize_;
    const std::function<void()>& headerAccepted_;
    const std::function<void(const ReadProgress&)>& progress_;
};

} // namespace

bool hasE57Signature(const unsigned char* head, size_t size) {
    return size >= 8 && std::memcmp(head, "ASTM-E57", 8) == 0;
}

ReadResult readE57(const ReadRequest& request) {
    ReadResult result;
    CloudBuilder builder;
    BuilderSink sink(builder, request);
    const E57Decoded d = decodeE57(request.bytes, request.size, sink);
    if (!d.readable)
        return refusal(d.message);
    if (sink.failed) {
        builder.cannotGrow(result);
        return result;
    }
    result.format = "E57, " + std::to_string(d.scans) + (d.scans == 1 ? " scan" : " scans");
    result.expected = int64_t(std::min<uint64_t>(d.recordCount, INT64_MAX));
    result.message = d.message;
    // Grey from intensity is final (scaled by the declared limits), so it is stored as colour.
    result.colour = d.anyColour || d.anyIntensity ? ColourKind::Rgb : ColourKind::None;
    builder.finish(result);
    sink.staging.finish(static_cast<size_t>(result.count), result.attributes);
    // Invalid positions are records without a point, like non-finite ones.
    result.dropped += int64_t(d.invalid);
    return result;
}
