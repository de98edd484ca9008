// viewer/display_settings.cpp - the names and colours of the display settings.
#include "viewer/display_settings.h"

#include <cstring>

namespace {

const char* const colourModeNames[] = {"file",      "height",         "grey",
                                       "intensity", "classification", "return"};
constexpr int kColourModes = sizeof colourModeNames / sizeof colourModeNames[0];
const char* const backgroundNames[] = {"black", "white", "grey"};

template <typename Enum, size_t N>
bool fromName(const char* name, const char* const (&names)[N], Enum* value) {
    for (size_t i = 0; i < N; ++i) {
        if (std::strcmp(name, names[i]) == 0) {
            *value = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

} // namespace

const char* colourModeName(ColourMode mode) {
    return colourModeNames[static_cast<int>(mode)];
}

const char* backgroundName(Background background) {
    return backgroundNames[static_cast<int>(background)];
}

bool colourModeFromName(const char* name, ColourMode* mode) {
    return fromName(name, colourModeNames, mode);
}

bool backgroundFromName(const char* name, Background* background) {
    return fromName(name, backgroundNames, background);
}

bool colourModeAvailable(ColourMode mode, const PointAttributes& attributes) {
    switch (mode) {
        case ColourMode::Intensity:
            return attributes.has(kIntensity);
        case ColourMode::Classification:
            return attributes.has(kClassification);
        case ColourMode::Return:
            return attributes.has(kReturns);
        default:
            return true;
    }
}

bool settleColourMode(DisplaySettings& settings, const PointAttributes& attributes) {
    if (colourModeAvailable(settings.colourMode, attributes))
        return true;
    settings.colourMode = ColourMode::File;
    return false;
}

ColourMode nextColourMode(ColourMode mode, const PointAttributes& attributes) {
    // File is always available, so the search ends there at the latest.
    do
        mode = static_cast<ColourMode>((static_cast<int>(mode) + 1) % kColourModes);
    while (!colourModeAvailable(mode, attributes));
    return mode;
}

Background nextBackground(Background background) {
    return static_cast<Background>((static_cast<int>(background) + 1) % 3);
}

void backgroundColour(Background background, float rgb[3]) {
    const float level = background == Background::Black   ? 0.0f
                        : background == Background::White ? 1.0f
                                                          : 0.25f;
    rgb[0] = rgb[1] = rgb[2] = level;
}
