// tests/io/classification_test.cpp - class names and the counts of classes and withheld points.
#include "io/classification.h"

#include <gtest/gtest.h>

TEST(ClassNames, StandardCodesReservedOnesAndOthers) {
    const struct {
        int code;
        const char* name;
    } rows[] = {
        {0, "Created, never classified"},
        {2, "Ground"},
        {7, "Low Point (noise)"},
        {8, "Reserved"},
        {12, "Reserved"},
        {13, "Wire - Guard (Shield)"},
        {18, "High Noise"},
        {22, "Temporal Exclusion"},
        {23, "Class 23"},
        {255, "Class 255"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(className(row.code), row.name) << row.code;
}

TEST(ClassCounts, CountsEveryCodeAndWithheldPoints) {
    PointAttributes attributes;
    attributes.present = kClassification | kFlags;
    attributes.classification = {2, 2, 255, 0, 2};
    attributes.flags = {kFlagWithheld, 0, kFlagWithheld | kFlagSynthetic, kFlagOverlap, 0};
    ClassCounts counts = countClasses(attributes);
    EXPECT_EQ(counts[2], 3);
    EXPECT_EQ(counts[255], 1);
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[1], 0);
    EXPECT_EQ(countWithheld(attributes), 2);

    PointAttributes none;
    EXPECT_EQ(countClasses(none)[0], 0);
    EXPECT_EQ(countWithheld(none), 0);
}
