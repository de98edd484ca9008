// tests/viewer/options_test.cpp - the command line: what each form asks for, and the one line
// each mistake gets.
#include "viewer/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The words live until the next call: the options point into them.
ViewerOptions parse(const std::vector<std::string>& words) {
    static std::vector<std::string> kept;
    static std::vector<char*> argv;
    kept = words;
    kept.insert(kept.begin(), "pointillist");
    argv.clear();
    for (std::string& word : kept)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return parseOptions(static_cast<int>(kept.size()), argv.data());
}

} // namespace

TEST(CommandLine, OptionsAndFileInAnyOrder) {
    const struct {
        std::vector<std::string> words;
        const char* file;
        int pointSize;
        ColourMode colour;
        Background background;
        const char* screenshot;
    } cases[] = {
        {{"cloud.txt"}, "cloud.txt", 1, ColourMode::File, Background::Black, nullptr},
        {{"--point-size", "16", "cloud.txt"},
         "cloud.txt",
         16,
         ColourMode::File,
         Background::Black,
         nullptr},
        {{"cloud.txt", "--point-size=3", "--color", "height", "--background=white"},
         "cloud.txt",
         3,
         ColourMode::Height,
         Background::White,
         nullptr},
        {{"--colour", "height", "c.txt"},
         "c.txt",
         1,
         ColourMode::Height,
         Background::Black,
         nullptr},
        {{"--color=grey", "--background", "grey", "--screenshot", "out.png", "c.txt"},
         "c.txt",
         1,
         ColourMode::Grey,
         Background::DarkGrey,
         "out.png"},
        {{"--point-size", "2", "--", "-cloud.txt"},
         "-cloud.txt",
         2,
         ColourMode::File,
         Background::Black,
         nullptr},
        {{"-"}, "-", 1, ColourMode::File, Background::Black, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front());
        const ViewerOptions options = parse(c.words);
        ASSERT_EQ(options.outcome, ViewerOptions::Run) << options.error;
        EXPECT_STREQ(options.pointFile, c.file);
        EXPECT_EQ(options.settings.pointSize, c.pointSize);
        EXPECT_EQ(options.settings.colourMode, c.colour);
        EXPECT_EQ(options.settings.background, c.background);
        if (c.screenshot)
            EXPECT_STREQ(options.screenshotPath, c.screenshot);
        else
            EXPECT_EQ(options.screenshotPath, nullptr);
    }
    EXPECT_EQ(parse({}).outcome, ViewerOptions::NoArguments);
    EXPECT_EQ(parse({"--help", "--bogus"}).outcome, ViewerOptions::Help);
    EXPECT_EQ(parse({"cloud.txt", "-h"}).outcome, ViewerOptions::Help);
    EXPECT_EQ(parse({"--version"}).outcome, ViewerOptions::Version);
}

TEST(CommandLine, MistakesAreNamed) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus", "c.txt"}, "unknown option '--bogus'"},
        {{"-x", "c.txt"}, "unknown option '-x'"},
        {{"--point-size=2x", "c.txt"}, "--point-size takes a whole number from 1 to 16, not '2x'"},
        {{"--point-size", "0", "c.txt"}, "--point-size takes a whole number from 1 to 16, not '0'"},
        {{"--point-size", "17", "c.txt"},
         "--point-size takes a whole number from 1 to 16, not '17'"},
        {{"--point-size=", "c.txt"}, "--point-size takes a whole number from 1 to 16, not ''"},
        {{"c.txt", "--point-size"}, "--point-size needs a value"},
        {{"--background", "blue", "c.txt"}, "--background takes black, white or grey, not 'blue'"},
        {{"--color", "rgb", "c.txt"},
         "--color takes file, height, grey, intensity, classification or return, not 'rgb'"},
        {{"--hide-classes", "7,x", "c.txt"},
         "--hide-classes takes class codes from 0 to 255 separated by commas, not '7,x'"},
        {{"--hide-classes=256", "c.txt"},
         "--hide-classes takes class codes from 0 to 255 separated by commas, not '256'"},
        {{"--hide-classes=7,", "c.txt"},
         "--hide-classes takes class codes from 0 to 255 separated by commas, not '7,'"},
        {{"--hide-classes", "-7", "c.txt"},
         "--hide-classes takes class codes from 0 to 255 separated by commas, not '-7'"},
        {{"--colour=rgb", "c.txt"},
         "--colour takes file, height, grey, intensity, classification or return, not 'rgb'"},
        {{"--colours", "file", "c.txt"}, "unknown option '--colours'"},
        {{"--screenshot=", "c.txt"}, "--screenshot needs a file name"},
        {{"--point-size", "3"}, "no point file given"},
        {{"--help=yes", "c.txt"}, "unknown option '--help'"},
    };
    for (const auto& [words, error] : cases) {
        const ViewerOptions options = parse(words);
        EXPECT_EQ(options.outcome, ViewerOptions::Bad) << words.front();
        EXPECT_EQ(options.error, "pointillist: " + error);
    }
}

// Several files in the order given, options between them, and "--" still ending the options;
// one file is a list of one.
TEST(CommandLine, SeveralFilesMakeOneScene) {
    const ViewerOptions several =
        parse({"a.laz", "--point-size", "2", "b.ply", "--", "-c.txt", "--edl"});
    ASSERT_EQ(several.outcome, ViewerOptions::Run) << several.error;
    ASSERT_EQ(several.pointFiles.size(), 4u);
    EXPECT_STREQ(several.pointFile, "a.laz");
    const char* expected[] = {"a.laz", "b.ply", "-c.txt", "--edl"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_STREQ(several.pointFiles[i], expected[i]);
    EXPECT_EQ(several.settings.pointSize, 2);
    EXPECT_FALSE(several.settings.eyeDome);
    EXPECT_EQ(parse({"c.txt"}).pointFiles.size(), 1u);
}

// The attribute modes by name, and the classes hidden at start: none given keeps the default,
// an empty list hides none.
TEST(CommandLine, AttributeColoursAndHiddenClasses) {
    EXPECT_EQ(parse({"--color=classification", "c.las"}).settings.colourMode,
              ColourMode::Classification);
    EXPECT_EQ(parse({"--color", "intensity", "c.las"}).settings.colourMode, ColourMode::Intensity);
    EXPECT_EQ(parse({"c.las", "--color=return"}).settings.colourMode, ColourMode::Return);
    EXPECT_FALSE(parse({"c.las"}).hiddenClasses.has_value());
    const std::pair<std::vector<std::string>, std::vector<int>> cases[] = {
        {{"--hide-classes", "7,18", "c.las"}, {7, 18}},
        {{"--hide-classes=", "c.las"}, {}},
        {{"c.las", "--hide-classes", ""}, {}},
        {{"--hide-classes=0,255,2,2", "c.las"}, {0, 255, 2, 2}},
    };
    for (const auto& [words, codes] : cases) {
        const ViewerOptions options = parse(words);
        ASSERT_EQ(options.outcome, ViewerOptions::Run) << options.error;
        ASSERT_TRUE(options.hiddenClasses.has_value());
        EXPECT_EQ(*options.hiddenClasses, codes) << words.front();
        EXPECT_STREQ(options.pointFile, "c.las");
    }
}

TEST(CommandLine, SizeTakesWidthByHeightWithinLimits) {
    const ViewerOptions plain = parse({"c.txt"});
    EXPECT_EQ(plain.windowWidth, 400);
    EXPECT_EQ(plain.windowHeight, 400);
    const struct {
        std::vector<std::string> words;
        int width, height;
    } good[] = {{{"--size", "1280x800", "c.txt"}, 1280, 800},
                {{"c.txt", "--size=64x8192"}, 64, 8192},
                {{"--size", "8192x64", "c.txt"}, 8192, 64}};
    for (const auto& c : good) {
        const ViewerOptions options = parse(c.words);
        ASSERT_EQ(options.outcome, ViewerOptions::Run) << options.error;
        EXPECT_EQ(options.windowWidth, c.width);
        EXPECT_EQ(options.windowHeight, c.height);
    }
    for (const char* value :
         {"1280", "1280x", "x800", "1280x800x2", "63x400", "400x8193", "+400x400", " 400x400",
          "400x 400", "-400x400", "400x-1", "400X400", "99999999999999999999x400", "4e2x400", ""}) {
        const ViewerOptions options = parse({"--size", value, "c.txt"});
        EXPECT_EQ(options.outcome, ViewerOptions::Bad) << value;
        EXPECT_EQ(options.error, std::string("pointillist: --size takes WIDTHxHEIGHT, each from 64 "
                                             "to 8192, not '") +
                                     value + "'");
    }
}

TEST(CommandLine, PanIsFollowOrFixedOrLeftToTheFormat) {
    EXPECT_FALSE(parse({"c.txt"}).pan.has_value());
    EXPECT_EQ(parse({"--pan", "fixed", "c.laz"}).pan, PanMode::Fixed);
    EXPECT_EQ(parse({"c.txt", "--pan=follow"}).pan, PanMode::Follow);
    for (const char* value : {"Follow", "free", ""}) {
        const ViewerOptions options = parse({"--pan", value, "c.txt"});
        EXPECT_EQ(options.outcome, ViewerOptions::Bad) << value;
        EXPECT_EQ(options.error,
                  std::string("pointillist: --pan takes follow or fixed, not '") + value + "'");
    }
}

// --edl turns eye-dome lighting on; --edl-strength sets its strength whether on or not.
TEST(CommandLine, EyeDomeLightingAndItsStrength) {
    const ViewerOptions plain = parse({"c.txt"});
    EXPECT_FALSE(plain.settings.eyeDome);
    EXPECT_EQ(plain.settings.eyeDomeStrength, 1.0f);
    const ViewerOptions on = parse({"c.txt", "--edl", "--edl-strength", "2.5"});
    ASSERT_EQ(on.outcome, ViewerOptions::Run) << on.error;
    EXPECT_TRUE(on.settings.eyeDome);
    EXPECT_EQ(on.settings.eyeDomeStrength, 2.5f);
    const ViewerOptions strengthOnly = parse({"--edl-strength=100", "c.txt"});
    EXPECT_FALSE(strengthOnly.settings.eyeDome);
    EXPECT_EQ(strengthOnly.settings.eyeDomeStrength, 100.0f);
    EXPECT_EQ(parse({"--edl=yes", "c.txt"}).error, "pointillist: unknown option '--edl'");
    for (const char* value :
         {"0", "0.0", "-1", "100.5", "1e2", "inf", "nan", " 1", "1x", ".", ""}) {
        const ViewerOptions options = parse({"--edl-strength", value, "c.txt"});
        EXPECT_EQ(options.outcome, ViewerOptions::Bad) << value;
        EXPECT_EQ(
            options.error,
            std::string("pointillist: --edl-strength takes a number above 0 up to 100, not '") +
                value + "'");
    }
}

TEST(CommandLine, MemoryTakesASizeInPowersOf1024) {
    EXPECT_EQ(parse({"c.txt"}).memoryBytes, 0u) << "the default is chosen at start";
    const struct {
        const char* value;
        uint64_t bytes;
    } good[] = {{"2G", uint64_t(2) << 30}, {"512M", uint64_t(512) << 20}, {"512m", 512u << 20},
                {"64K", 64u << 10},        {"1GB", uint64_t(1) << 30},    {"1000", 1000},
                {"3T", uint64_t(3) << 40}};
    for (const auto& c : good) {
        const ViewerOptions options = parse({"--memory", c.value, "c.txt"});
        ASSERT_EQ(options.outcome, ViewerOptions::Run) << c.value << ": " << options.error;
        EXPECT_EQ(options.memoryBytes, c.bytes) << c.value;
    }
    for (const char* value : {"0", "0G", "", "G", "-1G", "2Q", "1.5G", " 2G", "2G ", "2GiB",
                              "99999999999999999999", "16777216T"}) {
        const ViewerOptions options = parse({"--memory", value, "c.txt"});
        EXPECT_EQ(options.outcome, ViewerOptions::Bad) << value;
        EXPECT_EQ(options.error, std::string("pointillist: --memory takes a size such as 512M or "
                                             "2G, not '") +
                                     value + "'");
    }
    const uint64_t standard = defaultMemoryBudget();
    EXPECT_GT(standard, 0u);
    EXPECT_LE(standard, uint64_t(8) << 30);
}
