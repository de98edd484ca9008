// tests/e2e/classes_e2e_test.cpp - a classified LAS file in the real pointillist: its classes in
// their colours, and a check box of the classes window that hides one and shows it again.
#include "tests/e2e/viewer_session.h"
#include "tests/support/polling.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 1,065 points of classes 1 (unclassified) and 2 (ground).
const std::string CLASSIFIED_LAS =
    std::string(POINTILLIST_TEST_DATA_DIR) + "/formats/laspy_simple1_1.las";
constexpr Rgb UNCLASSIFIED{190, 190, 190}, GROUND{160, 100, 50};

// The check boxes of the "Classes" panel, one per class present in code order, as the control
// window's controls lie: 15 pixels in, the first 23 down, 16 apart.
constexpr int boxLeft = 15, firstBoxTop = 23, boxPitch = 16;

class ClassesE2E : public ViewerSession {};

} // namespace

TEST_F(ClassesE2E, CheckBoxHidesItsClassAndShowsItAgain) {
    const ProcessResult info = runProgram({POINTILLIST_INFO_EXECUTABLE, CLASSIFIED_LAS});
    if (info.out.find("\nclasses: ") == std::string::npos)
        GTEST_SKIP() << "pointillist-info lists no classes: the LAS reader keeps none yet";

    ASSERT_NO_FATAL_FAILURE(start(
        {"--color", "classification", CLASSIFIED_LAS},
        [](const Screenshot& s) {
            return pixelsOf(s, GROUND).count > 20 && pixelsOf(s, UNCLASSIFIED).count > 20;
        },
        "ground and unclassified points in their colours"));
    XWindow classes = XWindow::find("Pointillist Classes");
    ASSERT_TRUE(classes.valid()) << "no window titled \"Pointillist Classes\" appeared";
    classes.move(700, 0);
    ASSERT_TRUE(pollUntil([&] {
        int x = 0;
        classes.geometry(&x, nullptr, nullptr, nullptr);
        return x == 700;
    }));
    // The check mark crosses row 5 of the box at column 3 only when the box is checked.
    const int groundTop = firstBoxTop + boxPitch;
    waitFor(
        classes, [&](const Screenshot& s) { return s.isColour(boxLeft + 3, groundTop + 5, BLACK); },
        "\"2 Ground\" checked");
    const int unclassified = pixelsOf(startScene, UNCLASSIFIED).count;

    classes.click(boxLeft + 6, groundTop + 6);
    const Screenshot hidden = waitForScene(
        [](const Screenshot& s) { return pixelsOf(s, GROUND).count == 0; }, "no ground pixels");
    EXPECT_GE(pixelsOf(hidden, UNCLASSIFIED).count, unclassified) << "the others stay";
    waitFor(
        classes,
        [&](const Screenshot& s) { return !s.isColour(boxLeft + 3, groundTop + 5, BLACK); },
        "\"2 Ground\" unchecked");

    classes.click(boxLeft + 6, groundTop + 6);
    const Screenshot shown =
        waitForScene([&](const Screenshot& s) { return s.differingPixels(startScene) == 0; },
                     "the first picture again");
    EXPECT_EQ(0, shown.differingPixels(startScene));
}
