// io/classification.cpp - class names and counts.
#include "io/classification.h"

namespace {

// clang-format off
const char* const kNames[] = {
    "Created, never classified",
    "Unclassified",
    "Ground",
    "Low Vegetation",
    "Medium Vegetation",
    "High Vegetation",
    "Building",
    "Low Point (noise)",
    "Reserved",
    "Water",
    "Rail",
    "Road Surface",
    "Reserved",
    "Wire - Guard (Shield)",
    "Wire - Conductor (Phase)",
    "Transmission Tower",
    "Wire-Structure Connector (Insulator)",
    "Bridge Deck",
    "High Noise",
    "Overhead Structure",
    "Ignored Ground",
    "Snow",
    "Temporal Exclusion",
};
// clang-format on

} // namespace

std::string className(int code) {
    if (code >= 0 && code < static_cast<int>(sizeof kNames / sizeof kNames[0]))
        return kNames[code];
    return "Class " + std::to_string(code);
}

ClassCounts countClasses(const PointAttributes& attributes) {
    ClassCounts counts{};
    for (uint8_t code : attributes.classification)
        ++counts[code];
    return counts;
}

int64_t countWithheld(const PointAttributes& attributes) {
    int64_t withheld = 0;
    for (uint8_t bits : attributes.flags)
        withheld += (bits & kFlagWithheld) != 0;
    return withheld;
}
