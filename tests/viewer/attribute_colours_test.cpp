// tests/viewer/attribute_colours_test.cpp - the colours of classes, returns and intensities, the
// modes a cloud offers, and which records a visibility draws: no window needed.
#include "io/classification.h"
#include "tests/support/file_text.h"
#include "viewer/attribute_colours.h"
#include "viewer/display_settings.h"
#include "viewer/point_subset.h"
#include "viewer/point_visibility.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::tuple<int, int, int> colourOf(int code) {
    unsigned char rgb[3];
    classColour(code, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

PointAttributes withColumns(uint32_t present, size_t count) {
    PointAttributes attributes;
    attributes.present = present;
    attributes.intensity.resize(attributes.has(kIntensity) ? count : 0);
    attributes.classification.resize(attributes.has(kClassification) ? count : 0);
    attributes.returns.resize(attributes.has(kReturns) ? count : 0);
    attributes.flags.resize(attributes.has(kFlags) ? count : 0);
    return attributes;
}

} // namespace

// Every code has a colour of its own, the same each time: the table's, and made-up ones for the
// rest that differ from the table's and from each other.
TEST(ClassColours, EveryCodeItsOwnFixedColour) {
    std::set<std::tuple<int, int, int>> seen;
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(colourOf(code), colourOf(code));
        EXPECT_TRUE(seen.insert(colourOf(code)).second) << code << " shares a colour";
        EXPECT_EQ(classColourInTable(code), code <= 22 && code != 8 && code != 12) << code;
    }
}

// README's class table is the code's: every row's name and colour, and a row for every code
// the code's table names.
TEST(ClassColours, ReadmeTableIsTheCodes) {
    const std::string readme =
        fileText(std::string(POINTILLIST_TEST_DATA_DIR) + "/../../README.md");
    ASSERT_FALSE(readme.empty());
    std::istringstream lines(readme.substr(readme.find("| Code | Class | Colour (r g b) |")));
    std::set<int> listed;
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line); // the rule under the heading
    while (std::getline(lines, line) && line.rfind("| ", 0) == 0) {
        int code = -1, r = -1, g = -1, b = -1;
        char name[128] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "| %d | %127[^|]| %d %d %d |", &code, name, &r, &g, &b),
                  5)
            << line;
        std::string trimmed = name;
        trimmed.erase(trimmed.find_last_not_of(' ') + 1);
        EXPECT_EQ(trimmed, className(code)) << line;
        EXPECT_EQ(std::make_tuple(r, g, b), colourOf(code)) << line;
        EXPECT_TRUE(listed.insert(code).second) << line;
    }
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(listed.count(code), classColourInTable(code) ? 1u : 0u) << code;
}

TEST(ReturnKinds, FromNumberAndCount) {
    const struct {
        int number, of;
        ReturnKind kind;
    } cases[] = {
        {1, 1, ReturnKind::Only}, {1, 3, ReturnKind::First}, {2, 3, ReturnKind::Intermediate},
        {3, 3, ReturnKind::Last}, {2, 2, ReturnKind::Last},  {14, 15, ReturnKind::Intermediate},
        {0, 0, ReturnKind::Only}, {0, 2, ReturnKind::First}, {5, 3, ReturnKind::Last},
    };
    for (const auto& c : cases)
        EXPECT_EQ(returnKind(PointAttributes::packReturns(c.number, c.of)), c.kind)
            << c.number << " of " << c.of;
    std::set<std::tuple<int, int, int>> colours;
    for (int kind = 0; kind < kReturnKinds; ++kind) {
        unsigned char rgb[3];
        returnColour(static_cast<ReturnKind>(kind), rgb);
        colours.insert({rgb[0], rgb[1], rgb[2]});
    }
    EXPECT_EQ(colours.size(), 4u);
}

// The 1st and 99th percentiles go black and white, whatever the data's bit depth: 16-bit data
// that is 8-bit data times 257 gets the same greys. Outliers saturate; without outliers the
// extremes stay black and white.
TEST(IntensityGrey, PercentilesOfEightAndSixteenBitDataAlike) {
    for (int scale : {1, 257}) {
        SCOPED_TRACE(scale);
        PointAttributes attributes = withColumns(kIntensity, 0);
        // 20 to 219, and an outlier at each end.
        for (int i = 20; i < 220; ++i)
            attributes.intensity.push_back(static_cast<uint16_t>(i * scale));
        attributes.intensity.push_back(0);
        attributes.intensity.push_back(static_cast<uint16_t>(255 * scale));
        const IntensityRange range = intensityRange(attributes);
        // 202 values: the 3rd lowest (ceil 2.02) and the 200th (ceil 199.98).
        EXPECT_EQ(range.low, 21 * scale);
        EXPECT_EQ(range.high, 218 * scale);
        EXPECT_EQ(intensityGrey(0, range), 0);
        EXPECT_EQ(intensityGrey(uint16_t(21 * scale), range), 0);
        EXPECT_EQ(intensityGrey(uint16_t(120 * scale), range), 128);
        EXPECT_EQ(intensityGrey(uint16_t(218 * scale), range), 255);
        EXPECT_EQ(intensityGrey(uint16_t(255 * scale), range), 255);

        attributes.intensity.resize(200);
        const IntensityRange whole = intensityRange(attributes);
        EXPECT_EQ(whole.low, 20 * scale);
        EXPECT_EQ(whole.high, 219 * scale);
    }
    // One value throughout: mid-grey; none: an empty range.
    PointAttributes flat = withColumns(kIntensity, 10);
    EXPECT_EQ(intensityGrey(0, intensityRange(flat)), 128);
    const IntensityRange empty = intensityRange(withColumns(kIntensity, 0));
    EXPECT_EQ(empty.low, 0);
    EXPECT_EQ(empty.high, 0);
}

// c offers the attribute modes only to clouds that have the attribute; a cloud without any
// cycles file, height, grey as it always did.
TEST(ColourModes, CycleThroughWhatTheCloudHas) {
    using M = ColourMode;
    const std::pair<uint32_t, std::vector<M>> cases[] = {
        {0, {M::File, M::Height, M::Grey, M::File}},
        {kIntensity | kClassification | kReturns | kFlags,
         {M::File, M::Height, M::Grey, M::Intensity, M::Classification, M::Return, M::File}},
        {kClassification, {M::File, M::Height, M::Grey, M::Classification, M::File}},
        {kReturns | kGpsTime, {M::File, M::Height, M::Grey, M::Return, M::File}},
    };
    for (const auto& [present, cycle] : cases) {
        const PointAttributes attributes = withColumns(present, 1);
        for (size_t i = 0; i + 1 < cycle.size(); ++i)
            EXPECT_EQ(nextColourMode(cycle[i], attributes), cycle[i + 1]) << present << " " << i;
    }
    const char* const names[] = {"file", "height", "grey", "intensity", "classification", "return"};
    for (int mode = 0; mode < 6; ++mode) {
        ColourMode parsed = ColourMode::File;
        ASSERT_TRUE(colourModeFromName(names[mode], &parsed));
        EXPECT_EQ(static_cast<int>(parsed), mode);
        EXPECT_STREQ(colourModeName(parsed), names[mode]);
    }

    // A mode the cloud lacks falls back to the file's colours.
    DisplaySettings settings;
    settings.colourMode = ColourMode::Intensity;
    EXPECT_FALSE(settleColourMode(settings, withColumns(kClassification, 1)));
    EXPECT_EQ(settings.colourMode, ColourMode::File);
    settings.colourMode = ColourMode::Classification;
    EXPECT_TRUE(settleColourMode(settings, withColumns(kClassification, 1)));
    EXPECT_EQ(settings.colourMode, ColourMode::Classification);
}

// Noise and withheld records start hidden; the list drawn follows the switches once changed()
// says so, and is no list at all when nothing present is hidden.
TEST(Visibility, ListOfRecordsDrawnFollowsTheSwitches) {
    // Classes 2, 7, 2, 18, 5, 2 with the third record withheld.
    PointAttributes attributes = withColumns(kClassification | kFlags, 6);
    attributes.classification = {2, 7, 2, 18, 5, 2};
    attributes.flags[2] = kFlagWithheld | kFlagSynthetic;
    attributes.flags[4] = kFlagOverlap;
    PointVisibility visibility;
    visibility.attach(attributes, 6);
    const auto drawn = [&] {
        const uint32_t* list = visibility.drawn();
        if (list == nullptr)
            return std::vector<uint32_t>{99};
        return std::vector<uint32_t>(list, list + visibility.drawnCount());
    };
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{0, 4, 5}));
    EXPECT_EQ(visibility.classCounts()[2], 3);
    EXPECT_EQ(visibility.withheldCounts()[2], 1);
    EXPECT_EQ(visibility.withheldTotal(), 1);

    const uint64_t before = visibility.version();
    visibility.withheldShown = 1;
    visibility.classShown[2] = 0;
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{0, 4, 5})) << "until changed()";
    visibility.changed();
    EXPECT_NE(visibility.version(), before);
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{4}));
    EXPECT_FALSE(visibility.shows(0));
    EXPECT_TRUE(visibility.shows(4));

    visibility.classShown[5] = 0;
    visibility.changed();
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{})) << "an empty list, not every record";
    EXPECT_NE(visibility.drawn(), nullptr);

    for (int code : {2, 5, 7, 18})
        visibility.classShown[code] = 1;
    // A class absent from the cloud hides nothing.
    visibility.classShown[3] = 0;
    visibility.changed();
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{99}));
    EXPECT_EQ(visibility.drawnCount(), 6);

    // Without classes or flags nothing is ever hidden; the start's hidden classes are chosen.
    PointVisibility plain;
    plain.attach(withColumns(kIntensity, 6), 6);
    EXPECT_EQ(plain.drawn(), nullptr);
    EXPECT_FALSE(plain.hasClasses());
    visibility.attach(attributes, 6, {});
    visibility.withheldShown = 1;
    visibility.changed();
    EXPECT_EQ(visibility.drawn(), nullptr) << "--hide-classes with no codes";
    visibility.attach(attributes, 6, {5});
    EXPECT_EQ(drawn(), (std::vector<uint32_t>{0, 1, 3, 5}));
}

// A sample of a list of records names records of the list only, spread over it.
TEST(PointSubsetSample, OfAListTakesItsRecords) {
    std::vector<uint32_t> list;
    for (uint32_t i = 0; i < 300000; i += 3)
        list.push_back(i);
    PointSubset subset;
    subset.sample(int64_t(list.size()), 16384, list.data(), 1);
    ASSERT_EQ(subset.size(), 16384);
    for (int64_t i = 0; i < subset.size(); ++i)
        ASSERT_EQ(subset.indices()[i] % 3, 0u) << i;
    EXPECT_GT(subset.indices()[subset.size() - 1], 299000u);
    // Another list of the same length is sampled afresh.
    for (uint32_t& record : list)
        ++record;
    subset.sample(int64_t(list.size()), 16384, list.data(), 2);
    EXPECT_EQ(subset.indices()[0] % 3, 1u);
}
