// io/attribute_staging.cpp - slots moved and made columns, intensities put on a 16-bit scale.
#include "io/attribute_staging.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void AttributeStaging::resize(size_t slots) {
    if (wantIntensity_)
        intensity_.resize(slots);
    if (wantClass_)
        class_.resize(slots);
}

void AttributeStaging::moveDown(size_t to, size_t from, size_t count) {
    if (to == from || count == 0)
        return;
    if (wantIntensity_)
        std::memmove(intensity_.data() + to, intensity_.data() + from, count * sizeof(float));
    if (wantClass_)
        std::memmove(class_.data() + to, class_.data() + from, count);
}

void AttributeStaging::finish(size_t count, PointAttributes& attributes) {
    if (wantIntensity_) {
        attributes.present |= kIntensity;
        quantiseIntensities(intensity_, std::min(count, intensity_.size()), attributes.intensity);
        attributes.intensity.resize(count);
        std::vector<float>().swap(intensity_);
    }
    if (wantClass_) {
        attributes.present |= kClassification;
        class_.resize(count);
        attributes.classification = std::move(class_);
        class_ = std::vector<uint8_t>();
    }
}

uint8_t AttributeStaging::classCode(double value) {
    if (!(value > 0))
        return 0;
    return value >= 255 ? 255 : static_cast<uint8_t>(std::lround(value));
}

void quantiseIntensities(const std::vector<float>& values, size_t count,
                         std::vector<uint16_t>& out) {
    float low = INFINITY, high = -INFINITY;
    bool whole = true;
    for (size_t i = 0; i < count; ++i) {
        const float v = values[i];
        if (!std::isfinite(v))
            continue;
        low = std::min(low, v), high = std::max(high, v);
        whole = whole && v == std::floor(v);
    }
    // value * scale + offset, as a double so that wide ranges keep their steps.
    double scale = 1.0, offset = 0.0;
    if (!(low <= high) || (whole && low >= 0 && high <= 65535)) {
        // as they are
    } else if (low >= 0 && high <= 1) {
        scale = 65535.0;
    } else if (high > low) {
        scale = 65535.0 / (double(high) - double(low));
        offset = -double(low) * scale;
    } else {
        scale = 0.0;
    }
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const double v = values[i] * scale + offset;
        out[i] =
            std::isfinite(v) ? static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, 65535.0))) : 0;
    }
}
