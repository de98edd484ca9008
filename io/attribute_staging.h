// io/attribute_staging.h - the intensity and class of formats that store them as plain numbers
// of any type (PLY, PCD, column text, E57), gathered record by record and made columns once the
// whole file is read.
#pragma once

#include "io/point_attributes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A slot per record, in the records' order; readers that close gaps move the slots with them.
// Intensities are held as read until finish, because the 16-bit scale they get depends on all
// of them (quantiseIntensities).
class AttributeStaging {
public:
    AttributeStaging(bool intensity, bool classification)
        : wantIntensity_(intensity), wantClass_(classification) {}
    bool any() const { return wantIntensity_ || wantClass_; }
    bool hasIntensity() const { return wantIntensity_; }
    bool hasClassification() const { return wantClass_; }

    void resize(size_t slots);
    // The values of one record; a value the file lacks is ignored, a non-finite one is 0.
    void set(size_t slot, double intensity, double classification) {
        if (wantIntensity_)
            intensity_[slot] = static_cast<float>(intensity);
        if (wantClass_)
            class_[slot] = classCode(classification);
    }
    void append(double intensity, double classification) {
        if (wantIntensity_)
            intensity_.push_back(static_cast<float>(intensity));
        if (wantClass_)
            class_.push_back(classCode(classification));
    }
    size_t size() const { return wantIntensity_ ? intensity_.size() : class_.size(); }
    // Slots [from, from + count) moved down to [to, to + count), to <= from.
    void moveDown(size_t to, size_t from, size_t count);
    // The first count slots as columns of attributes (their present bits added); the staging is
    // left empty.
    void finish(size_t count, PointAttributes& attributes);

    // The nearest class code, 0 to 255; out of range values saturate, NaN is 0.
    static uint8_t classCode(double value);

private:
    bool wantIntensity_, wantClass_;
    std::vector<float> intensity_;
    std::vector<uint8_t> class_;
};

// Intensities of any scale as 16-bit values: whole numbers within 0..65535 as they are (8-bit,
// 12-bit and 16-bit scanner values), fractions within 0..1 scaled to 0..65535, anything else
// mapped linearly from its range onto 0..65535. Non-finite values become 0.
void quantiseIntensities(const std::vector<float>& values, size_t count,
                         std::vector<uint16_t>& out);
