// io/point_attributes.h - what a file says of each point besides its position and colour,
// kept as columns beside the records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The attributes a cloud may carry. A column exists only when the file has the attribute, so a
// cloud without any costs nothing beyond its records.
enum AttributeBit : uint32_t {
    kIntensity = 1u << 0,
    kClassification = 1u << 1,
    kReturns = 1u << 2, // return number and number of returns
    kFlags = 1u << 3,   // synthetic, key-point, withheld, overlap
    kScanAngle = 1u << 4,
    kUserData = 1u << 5,
    kPointSource = 1u << 6,
    kGpsTime = 1u << 7,
};

// The bits of a point's flags byte.
constexpr uint8_t kFlagSynthetic = 1u << 0;
constexpr uint8_t kFlagKeyPoint = 1u << 1;
constexpr uint8_t kFlagWithheld = 1u << 2;
constexpr uint8_t kFlagOverlap = 1u << 3;

// Units of the scan angle column: LAS 1.4's 0.006 degrees; older formats' whole degrees are
// converted into them.
constexpr double kScanAngleDegrees = 0.006;

// One column per attribute present, each as long as the cloud's records and in their order:
// entry i describes record i. Absent columns are empty.
struct PointAttributes {
    uint32_t present = 0;            // AttributeBit values
    std::vector<uint16_t> intensity; // as stored: 8-bit files keep values up to 255
    std::vector<uint8_t> classification;
    // Return number in the low four bits, number of returns in the high four (LAS 1.4 counts
    // up to 15 of each).
    std::vector<uint8_t> returns;
    std::vector<uint8_t> flags;     // kFlag… bits
    std::vector<int16_t> scanAngle; // kScanAngleDegrees units
    std::vector<uint8_t> userData;
    std::vector<uint16_t> pointSource;
    std::vector<double> gpsTime;
    // In a scene of several files, the file each record came from (an index into the cloud's
    // files); empty for a cloud of one file. Not an attribute of the points: no bit names it,
    // resize leaves it alone, and it moves with the records as the columns do.
    std::vector<uint16_t> origin;
    // The GPS times are adjusted standard GPS time (seconds since the GPS epoch less 1e9), not
    // seconds of the GPS week: the LAS global encoding's bit 0, kept so that a written file
    // says the same.
    bool gpsStandardTime = false;

    bool has(AttributeBit bit) const { return (present & bit) != 0; }
    // Sizes the columns the present bits name to count entries (new ones zero) and empties the
    // others.
    void resize(size_t count);
    // Entries [from, from + count) of every present column moved down to [to, to + count),
    // to <= from: what readers do as they close the gaps of dropped records.
    void moveDown(size_t to, size_t from, size_t count);
    // The bytes one point's entries take.
    size_t bytesPerPoint() const;
    static uint8_t packReturns(int number, int of) {
        return static_cast<uint8_t>((number & 15) | ((of & 15) << 4));
    }
    static int returnNumber(uint8_t packed) { return packed & 15; }
    static int numberOfReturns(uint8_t packed) { return packed >> 4; }
};

// Calls visit(member, bit) for each attribute column, member pointing at the column in
// PointAttributes (&PointAttributes::intensity) and bit naming it: the one list of the columns,
// so that code copying, moving or gathering them cannot leave a new one out. origin is not among
// them (no bit names it).
template <class Visit> void forEachColumn(Visit&& visit) {
    visit(&PointAttributes::intensity, kIntensity);
    visit(&PointAttributes::classification, kClassification);
    visit(&PointAttributes::returns, kReturns);
    visit(&PointAttributes::flags, kFlags);
    visit(&PointAttributes::scanAngle, kScanAngle);
    visit(&PointAttributes::userData, kUserData);
    visit(&PointAttributes::pointSource, kPointSource);
    visit(&PointAttributes::gpsTime, kGpsTime);
}

// Every attribute, in the order pointillist-info lists them.
constexpr AttributeBit kAttributeOrder[] = {kIntensity, kClassification, kReturns,     kFlags,
                                            kScanAngle, kUserData,       kPointSource, kGpsTime};
// "intensity", "classification", "returns", "flags", "scan-angle", "user-data", "point-source",
// "gps-time".
const char* attributeName(AttributeBit bit);
