// viewer/options.cpp - parsing the command line into a ViewerOptions.
#include "viewer/options.h"

#include "net/http_client.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

const char* const usageLine =
    "usage: pointillist [--point-size N] [--background black|white|grey] "
    "[--color file|height|grey|intensity|classification|return] [--hide-classes CODE,...] "
    "[--size WxH] [--pan follow|fixed] [--edl] [--edl-strength S] [--memory SIZE] "
    "[--cache DIR] [--timeout SECONDS] [--screenshot OUT.png] [--] POINT_FILE...";

const char* const helpText =
    "usage: pointillist [OPTIONS] [--] POINT_FILE...\n"
    "  --point-size N                  each point N pixels across, 1 to 16 (1)\n"
    "  --background black|white|grey   the window's background (black)\n"
    "  --color file|height|grey        the file's colours, a ramp along z, or grey (file);\n"
    "                                  --colour is the same\n"
    "  --color intensity|classification|return\n"
    "                                  by the file's attributes; a file without the one\n"
    "                                  asked for shows its own colours, with a warning\n"
    "  --hide-classes CODE,...         the classes hidden at start (7,18); empty hides none\n"
    "  --size WxH                      the graphics window's size in pixels, 64 to 8192 a\n"
    "                                  side (400x400)\n"
    "  --pan follow|fixed              TRANSLATE drags keep the cloud under the pointer, or\n"
    "                                  move 0.5 units a pixel (fixed for point files, else\n"
    "                                  follow)\n"
    "  --edl                           eye-dome lighting: shade the points by depth (e)\n"
    "  --edl-strength S                its strength, above 0 up to 100 (1)\n"
    "  --memory SIZE                   the decoded points an octree LAZ file keeps, such as\n"
    "                                  512M or 2G (half the memory, at most 8G)\n"
    "  --cache DIR                     keep the parts of a URL fetched in DIR, for later\n"
    "                                  runs (nothing is written to disk without it)\n"
    "  --timeout SECONDS               give up a connection or transfer of a URL after\n"
    "                                  this long without progress (30)\n"
    "  --screenshot OUT.png            save the picture at rest as a PNG and end\n"
    "  --help                          this text\n"
    "  --version                       the version\n"
    "Several files open as one scene: each is read whole (an octree file too) and they are\n"
    "shown together, each with its own colours and attributes; a file that cannot be read\n"
    "says so and the others still open.\n"
    "POINT_FILE may be an http:// or https:// URL.\n"
    "In the graphics window, h shows the keys and the mouse controls.\n";

namespace {

// A whole number from low to high written in decimal digits alone, up to stop; where it ends.
const char* parseWhole(const char* text, char stop, long low, long high, int* result) {
    // strtol would take signs and leading spaces.
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return nullptr;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != stop || errno != 0 || value < low || value > high)
        return nullptr;
    *result = static_cast<int>(value);
    return end;
}

// A number above 0 up to the largest strength, written in decimals.
bool parseStrength(const char* text, float* strength) {
    // strtod would take signs, spaces, hexadecimal, "inf" and "nan".
    for (const char* c = text; *c; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c)) && *c != '.')
            return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(value > 0.0) ||
        value > MAX_EYE_DOME_STRENGTH)
        return false;
    *strength = static_cast<float>(value);
    return true;
}

bool parsePointSize(const char* text, int* size) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < MIN_POINT_SIZE ||
        value > MAX_POINT_SIZE)
        return false;
    *size = static_cast<int>(value);
    return true;
}

// Class codes 0 to 255 separated by commas; an empty text is no code.
bool parseClassCodes(const char* text, std::vector<int>* codes) {
    codes->clear();
    if (*text == '\0')
        return true;
    for (const char* at = text;; ++at) {
        // strtol would take signs and spaces.
        if (*at < '0' || *at > '9')
            return false;
        char* end = nullptr;
        const long code = std::strtol(at, &end, 10);
        if (code > 255 || (*end != ',' && *end != '\0'))
            return false;
        codes->push_back(static_cast<int>(code));
        at = end;
        if (*at == '\0')
            return true;
    }
}

// WIDTHxHEIGHT; the values change only when both are good.
bool parseWindowSize(const char* text, int* width, int* height) {
    int w = 0, h = 0;
    const char* x = parseWhole(text, 'x', MIN_WINDOW_SIZE, MAX_WINDOW_SIZE, &w);
    if (x == nullptr || parseWhole(x + 1, '\0', MIN_WINDOW_SIZE, MAX_WINDOW_SIZE, &h) == nullptr)
        return false;
    *width = w;
    *height = h;
    return true;
}

} // namespace

bool parseMemorySize(const char* text, uint64_t* bytes) {
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    errno = 0;
    char* end = nullptr;
    const uintmax_t value = std::strtoumax(text, &end, 10);
    if (errno != 0 || value == 0)
        return false;
    int shift = 0;
    const char unit = static_cast<char>(std::toupper(static_cast<unsigned char>(*end)));
    if (unit == 'K' || unit == 'M' || unit == 'G' || unit == 'T') {
        shift = unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : 40;
        ++end;
        if (*end == 'B' || *end == 'b')
            ++end;
    }
    if (*end != '\0' || value > (UINT64_MAX >> shift))
        return false;
    *bytes = static_cast<uint64_t>(value) << shift;
    return true;
}

uint64_t defaultMemoryBudget() {
    constexpr uint64_t kMost = uint64_t(8) << 30;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kMost;
    return std::min<uint64_t>(kMost, uint64_t(pages) / 2 * uint64_t(pageSize));
}

namespace {

ViewerOptions bad(const std::string& error) {
    ViewerOptions options;
    options.outcome = ViewerOptions::Bad;
    options.error = "pointillist: " + error;
    return options;
}

} // namespace

ViewerOptions parseOptions(int argc, char** argv) {
    ViewerOptions options;
    if (argc < 2) {
        options.outcome = ViewerOptions::NoArguments;
        return options;
    }
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || std::strcmp(argument, "-") == 0) {
            if (options.pointFile == nullptr)
                options.pointFile = argument;
            options.pointFiles.push_back(argument);
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.outcome = ViewerOptions::Help;
            return options;
        }
        if (std::strcmp(argument, "--version") == 0) {
            options.outcome = ViewerOptions::Version;
            return options;
        }
        if (std::strcmp(argument, "--edl") == 0) {
            options.settings.eyeDome = true;
            continue;
        }

        // The options that take a value: --name VALUE or --name=VALUE.
        std::string name = argument;
        const char* value = nullptr;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = argument + equals + 1;
            name.resize(equals);
        }
        const bool takesValue = name == "--point-size" || name == "--background" ||
                                name == "--color" || name == "--colour" ||
                                name == "--hide-classes" || name == "--size" || name == "--pan" ||
                                name == "--edl-strength" || name == "--memory" ||
                                name == "--screenshot" || name == "--cache" || name == "--timeout";
        if (!takesValue)
            return bad("unknown option '" + name + "'");
        if (value == nullptr) {
            if (i + 1 == argc)
                return bad(name + " needs a value");
            value = argv[++i];
        }
        if (name == "--point-size") {
            if (!parsePointSize(value, &options.settings.pointSize))
                return bad("--point-size takes a whole number from 1 to 16, not '" +
                           std::string(value) + "'");
        } else if (name == "--background") {
            if (!backgroundFromName(value, &options.settings.background))
                return bad("--background takes black, white or grey, not '" + std::string(value) +
                           "'");
        } else if (name == "--color" || name == "--colour") {
            if (!colourModeFromName(value, &options.settings.colourMode))
                return bad(name +
                           " takes file, height, grey, intensity, classification or return, "
                           "not '" +
                           value + "'");
        } else if (name == "--hide-classes") {
            std::vector<int> codes;
            if (!parseClassCodes(value, &codes))
                return bad("--hide-classes takes class codes from 0 to 255 separated by commas, "
                           "not '" +
                           std::string(value) + "'");
            options.hiddenClasses = codes;
        } else if (name == "--pan") {
            PanMode pan = PanMode::Follow;
            if (!panModeFromName(value, &pan))
                return bad("--pan takes follow or fixed, not '" + std::string(value) + "'");
            options.pan = pan;
        } else if (name == "--edl-strength") {
            if (!parseStrength(value, &options.settings.eyeDomeStrength))
                return bad("--edl-strength takes a number above 0 up to 100, not '" +
                           std::string(value) + "'");
        } else if (name == "--size") {
            if (!parseWindowSize(value, &options.windowWidth, &options.windowHeight))
                return bad("--size takes WIDTHxHEIGHT, each from " +
                           std::to_string(MIN_WINDOW_SIZE) + " to " +
                           std::to_string(MAX_WINDOW_SIZE) + ", not '" + value + "'");
        } else if (name == "--memory") {
            if (!parseMemorySize(value, &options.memoryBytes))
                return bad("--memory takes a size such as 512M or 2G, not '" + std::string(value) +
                           "'");
        } else if (name == "--cache") {
            if (*value == '\0')
                return bad("--cache needs a folder");
            options.cacheFolder = value;
        } else if (name == "--timeout") {
            if (!parseTimeoutSeconds(value, options.timeoutMs))
                return bad("--timeout takes a number of seconds above 0, not '" +
                           std::string(value) + "'");
        } else {
            if (*value == '\0')
                return bad("--screenshot needs a file name");
            options.screenshotPath = value;
        }
    }
    if (options.pointFile == nullptr)
        return bad("no point file given");
    return options;
}
