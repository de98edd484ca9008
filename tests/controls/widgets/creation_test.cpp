// tests/controls/widgets/creation_test.cpp - the add operations when memory runs out or the parent
// is missing: no control, nothing linked, no button number used up.
#include "tests/controls/toolkit_fixture.h"

#include <functional>
#include <iterator>

namespace {

using Creation = OneWindowTest;

TEST_F(Creation, FailedOrParentlessCreationLinksNothing) {
    RadioGroup* group = window->addRadioGroup(root, nullptr, 0, nullptr);
    const std::function<Control*(Control*)> adds[] = {
        [&](Control* p) { return window->addCheckbox(p, "c", nullptr, 0, nullptr); },
        [&](Control* p) { return window->addRadioGroup(p, nullptr, 0, nullptr); },
        [&](Control* p) { return window->addButton(p, "b", 0, nullptr); },
        [&](Control* p) { return window->addLabel(p, "l"); },
        [&](Control* p) { return window->addRadioButton(p ? group : nullptr, "r"); },
        [&](Control* p) {
            window->addSeparator(p);
            return static_cast<Control*>(nullptr);
        },
    };
    for (size_t i = 0; i < std::size(adds); ++i) {
        const ControlNode* lastRoot = root->lastChild;
        const ControlNode* lastGroup = group->lastChild;
        failNothrowAllocation(1);
        EXPECT_EQ(adds[i](root), nullptr) << i;
        failNothrowAllocation(0);
        EXPECT_EQ(adds[i](nullptr), nullptr) << i;
        EXPECT_EQ(root->lastChild, lastRoot) << i;
        EXPECT_EQ(group->lastChild, lastGroup) << i;
    }
    EXPECT_EQ(group->nextNumber, 0);
    EXPECT_EQ(window->addRadioButton(group, "first")->userId, 0);
}

} // namespace
