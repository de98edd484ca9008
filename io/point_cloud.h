// io/point_cloud.h - a loaded cloud: its records and everything derived from them once.
#pragma once

#include "io/format.h"
#include "io/point_attributes.h"
#include "io/point_records.h"
#include "io/sensor_pose.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The viewer's horizontal field of view (degrees), which frames the whole cloud.
constexpr float kFramingFieldOfViewX = 60.0f;

// One file of a scene made of several (see PointCloud::files): its name as given, its records
// as they were put together (first, count; an octree's build later reorders them, and then the
// records' origin column says which are its), and what the file itself has.
struct SceneFile {
    std::string name;
    int64_t first = 0;
    int64_t count = 0;
    Format format = Format::Native;
    std::string formatDescription;
    ColourKind colour = ColourKind::Rgb;
    uint32_t attributes = 0; // its AttributeBit values; the cloud's are those of every file
    bool has(AttributeBit bit) const { return (attributes & bit) != 0; }
};

// The point records, their bounding box, centroid and the camera distance at which the whole
// cloud is in view, with what the file said about them. The z bounds pair crosswise because the
// camera looks along -z: nearCorner is (min x, min y, max z), the lower-left corner of the face
// nearest to the eye, and farCorner is (max x, max y, min z). The records are released by
// whoever loaded them (releasePoints), never by the cloud.
struct PointCloud {
    PointRecord* points = nullptr;
    int32_t count = 0;
    float nearCorner[3] = {};
    float farCorner[3] = {};
    float centroid[3] = {};
    float viewDistance = 0.0f;

    // What the reader said: the format and its variant, the colour source, the records left
    // out for a non-finite position, the shift from stored to file coordinates and the sensor.
    Format format = Format::Native;
    std::string formatDescription;
    ColourKind colour = ColourKind::Rgb;
    int64_t dropped = 0;
    bool shifted = false;
    double shift[3] = {0.0, 0.0, 0.0};
    // See ReadResult: why the colour kind, what the points contradict, the file's own step
    // (precision).
    std::string colourNote;
    std::vector<std::string> warnings;
    double precision[3] = {0.0, 0.0, 0.0}; // as the reader said (ReadResult::precision)
    // A depth camera's organised cloud, and where the camera stood (see ReadResult).
    bool organised = false;
    SensorPose viewpoint;
    // The columns of attributes beside the records, in their order (see PointAttributes).
    PointAttributes attributes;
    // The files a scene of several was put together from, each record's in attributes.origin;
    // empty for a cloud of one file.
    std::vector<SceneFile> files;

    // The file record i came from; null for a cloud of one file.
    const SceneFile* fileOf(int64_t i) const {
        if (files.empty() || i < 0 || size_t(i) >= attributes.origin.size() ||
            attributes.origin[size_t(i)] >= files.size())
            return nullptr;
        return &files[attributes.origin[size_t(i)]];
    }
    // Whether record i has the attribute: the cloud has it and, in a scene, so has its file.
    bool recordHas(int64_t i, AttributeBit bit) const {
        if (!attributes.has(bit))
            return false;
        const SceneFile* file = fileOf(i);
        return file == nullptr || file->has(bit);
    }

    // The exact box and the mean of the points whose positions are finite; all zero when
    // there are none.
    void computeBounds();
    // The distance from the eye to the box's front face at which the x extent fills the given
    // horizontal field of view (degrees) with a 10 % margin. A cloud without x extent is
    // framed by the larger of its y and z extents, or by 1.0 when it is a single position.
    void computeViewDistance(float fieldOfViewX);
};

// computeBounds over runs of records taken in record order, so that records can be taken as a
// read makes them final: the box and the sums come out the same as from one pass.
class BoundsSum {
public:
    void add(const PointRecord* points, int64_t from, int64_t to);
    // The same for the centroid alone, for records whose box comes from elsewhere (takeBox).
    void addToCentroid(const PointRecord* points, int64_t from, int64_t to);
    // The box gathered elsewhere, in place of what add gathered.
    void takeBox(const float low[3], const float high[3]);
    // How many records with a finite position were added.
    int64_t used() const { return used_; }
    // The box and centroid of what was added, into cloud.
    void applyTo(PointCloud& cloud) const;

private:
    template <bool kBox> void addRecords(const PointRecord* points, int64_t from, int64_t to);

    static constexpr float kInfinity = std::numeric_limits<float>::infinity();
    float low_[3] = {kInfinity, kInfinity, kInfinity};
    float high_[3] = {-kInfinity, -kInfinity, -kInfinity};
    double sum_[3] = {0.0, 0.0, 0.0};
    int64_t used_ = 0;
};
