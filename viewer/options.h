// viewer/options.h - the viewer's command line.
#pragma once

#include "viewer/camera.h"
#include "viewer/display_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The graphics window's side without --size, and the sides --size takes.
constexpr int DEFAULT_WINDOW_SIZE = 400;
constexpr int MIN_WINDOW_SIZE = 64;
constexpr int MAX_WINDOW_SIZE = 8192;

// What the command line asks for. Run opens pointFile with the settings; Help and Version
// print and end with status 0; NoArguments is the bare command, which prints the first
// version's usage line and ends with status 1; Bad is any other mistake, reported as error
// with the usage and status 2.
struct ViewerOptions {
    enum Outcome { Run, Help, Version, NoArguments, Bad };
    Outcome outcome = Run;
    std::string error;
    const char* pointFile = nullptr; // the first of pointFiles
    // Every file given, in order: more than one opens them as one scene.
    std::vector<const char*> pointFiles;
    // When set, one frame is saved there as a PNG and the program ends.
    const char* screenshotPath = nullptr;
    // The class codes hidden at start, when --hide-classes gives them (none for an empty list).
    std::optional<std::vector<int>> hiddenClasses;
    // The graphics window's size in pixels at start.
    int windowWidth = DEFAULT_WINDOW_SIZE;
    int windowHeight = DEFAULT_WINDOW_SIZE;
    // --pan's choice; without it the format's (startPanMode).
    std::optional<PanMode> pan;
    // --memory's bound on the decoded points an octree file streams into; 0 without it.
    uint64_t memoryBytes = 0;
    // --cache's folder for the ranges of a URL; null without it.
    const char* cacheFolder = nullptr;
    // --timeout in milliseconds, for URLs; 0 without it.
    int timeoutMs = 0;
    DisplaySettings settings;
};

// `pointillist [OPTIONS] FILE...`: options take their value as the next argument or after `=`,
// may come before, between or after the files, and end at `--`, after which a name starting with
// `-` is a file.
ViewerOptions parseOptions(int argc, char** argv);

// One line naming every option.
extern const char* const usageLine;
// What --help prints: the usage line, then a line for each option.
extern const char* const helpText;

// A size such as 512M or 2G (K, M, G and T are powers of 1024; no suffix: bytes), above 0.
bool parseMemorySize(const char* text, uint64_t* bytes);
// The budget without --memory: half the physical memory, at most 8 GiB.
uint64_t defaultMemoryBudget();
