// viewer/display_settings.h - how the graphics window shows the cloud: point size, colours,
// background and the overlays.
#pragma once

#include "io/point_attributes.h"

#include <cstdint>

// The last three colour by the file's attributes, and only clouds that have them offer them.
enum class ColourMode { File, Height, Grey, Intensity, Classification, Return };
enum class Background { Black, White, DarkGrey };

constexpr int MIN_POINT_SIZE = 1;
constexpr int MAX_POINT_SIZE = 16;
// The strengths eye-dome lighting takes (see eye_dome.h).
constexpr float DEFAULT_EYE_DOME_STRENGTH = 1.0f;
constexpr float MAX_EYE_DOME_STRENGTH = 100.0f;

// Chosen on the command line and changed by the graphics window's keys; the defaults draw
// the first version's picture.
struct DisplaySettings {
    int pointSize = MIN_POINT_SIZE; // pixels across each square point
    ColourMode colourMode = ColourMode::File;
    Background background = Background::Black;
    bool showHelp = false;
    bool showStatus = false;
    bool eyeDome = false; // shading by depth
    float eyeDomeStrength = DEFAULT_EYE_DOME_STRENGTH;
    bool showLegend = false;
};

// The names the command line takes and the status line shows.
const char* colourModeName(ColourMode mode);
const char* backgroundName(Background background);
// Whether name is one of those names; sets the value when it is.
bool colourModeFromName(const char* name, ColourMode* mode);
bool backgroundFromName(const char* name, Background* background);

// Whether a cloud with these attributes can be coloured in mode: file, height and grey always.
bool colourModeAvailable(ColourMode mode, const PointAttributes& attributes);
// A mode the cloud cannot show becomes File; false when it did.
bool settleColourMode(DisplaySettings& settings, const PointAttributes& attributes);
// The next mode available to the cloud, or background, in the order the keys cycle through.
ColourMode nextColourMode(ColourMode mode, const PointAttributes& attributes);
Background nextBackground(Background background);

// Red, green and blue from 0 to 1.
void backgroundColour(Background background, float rgb[3]);
