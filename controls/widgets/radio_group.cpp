// controls/widgets/radio_group.cpp - radio groups, their buttons, and their creation.
#include "controls/widgets/radio_group.h"

#include "controls/core/bitmaps.h"
#include "controls/core/immediate_drawing.h"
#include "controls/windows/control_window.h"

#include <cstdio>
#include <new>

#include <GL/gl.h>

namespace {

int buttonImage(int selected, int enabled) {
    if (enabled != 0)
        return selected ? BITMAP_RADIO_ON : BITMAP_RADIO_OFF;
    return selected ? BITMAP_RADIO_ON_DISABLED : BITMAP_RADIO_OFF_DISABLED;
}

// Only radio buttons have a state image; another control put in a group has none.
template <typename Action> void forEachRadioButton(const RadioGroup& group, Action action) {
    for (Control* child = group.firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        if (child->type == CONTROL_RADIO_BUTTON)
            action(*static_cast<RadioButton*>(child));
}

} // namespace

// --- RadioGroup ---

RadioGroup::RadioGroup() {
    type = CONTROL_RADIO_GROUP;
    xMargin = 0;
    topMargin = 0;
    bottomMargin = 0;
    isContainer = 1;
    width = 300;
    height = 300;
    name[0] = '\0';
    canActivate = 0;
    liveKind = LIVE_INT;
}

void RadioGroup::setIntValue(int value) {
    if (value == intValue)
        return;
    selectButton(value);
    redrawButtons(1);
    syncToLive(1);
}

void RadioGroup::draw(int, int) {
    if (window != nullptr && hidden == 0)
        redrawButtons(0);
}

void RadioGroup::selectButton(int value) {
    intValue = value;
    for (Control* child = firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        child->setIntValue(value != -1 && value == child->userId ? 1 : 0);
}

void RadioGroup::redrawButtons(int immediate) {
    if (window == nullptr || hidden != 0)
        return;
    if (immediate != 0) {
        forEachRadioButton(*this, [](RadioButton& button) { button.showRadioState(); });
        return;
    }
    const CurrentWindow current = selectWindow();
    glMatrixMode(GL_MODELVIEW);
    forEachRadioButton(*this, [this](RadioButton& button) {
        glPushMatrix();
        glTranslatef(static_cast<float>(button.x - x), static_cast<float>(button.y - y), 0.0f);
        button.drawRadioState();
        glPopMatrix();
    });
}

// --- RadioButton ---

RadioButton::RadioButton() {
    type = CONTROL_RADIO_BUTTON;
    height = 13;
    std::snprintf(name, sizeof name, "RadioButton: %p", static_cast<void*>(this));
    canActivate = 1;
}

int RadioButton::valueBeforePress() {
    return group != nullptr ? group->intValue : -1;
}

void RadioButton::showPress(int inside) {
    if (group == nullptr)
        return;
    group->selectButton(inside != 0 ? userId : savedValue);
    group->redrawButtons(1);
}

void RadioButton::endPress(int inside) {
    if (group == nullptr)
        return;
    showPress(inside);
    if (inside != 0 && group->intValue != savedValue) {
        group->syncToLive(1);
        group->runCallback();
    }
}

void RadioButton::updateSize() {
    if (window != nullptr)
        width = labelledBoxWidth(*this, textOffset);
}

void RadioButton::draw(int, int) {
    if (group == nullptr || window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    window->drawBitmap(buttonImage(group->intValue == userId, enabled), 0, 0);
    drawFocusFrame(*this, textOffset);
    drawName(textOffset, 10);
}

void RadioButton::drawRadioState() {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    window->drawBitmap(buttonImage(intValue != 0, enabled), 0, 0);
    drawFocusFrame(*this, textOffset);
}

void RadioButton::showRadioState() {
    if (window == nullptr || hidden != 0)
        return;
    const ImmediateDrawing drawing(*this);
    drawRadioState();
}

// --- Creation ---

RadioGroup* ControlWindow::addRadioGroup(Control* parent, int* variable, int userId,
                                         ControlCallback callback) {
    if (parent == nullptr)
        return nullptr;
    RadioGroup* group = new (std::nothrow) RadioGroup;
    if (group == nullptr)
        return nullptr;
    group->bindVariable(variable);
    if (variable != nullptr)
        group->intValue = *variable;
    group->userId = userId;
    char caption[MAX_TEXT];
    std::snprintf(caption, sizeof caption, "RadioGroup: %p", static_cast<void*>(group));
    group->setName(caption);
    group->callback = callback;
    attachControl(parent, group);
    // The group already holds the variable's value, so this only marks the binding as read.
    group->syncFromLive();
    return group;
}

RadioButton* ControlWindow::addRadioButton(Control* group, const char* label) {
    if (group == nullptr || group->type != CONTROL_RADIO_GROUP)
        return nullptr;
    RadioGroup* owner = static_cast<RadioGroup*>(group);
    RadioButton* button = new (std::nothrow) RadioButton;
    if (button == nullptr)
        return nullptr;
    button->setIntValue(0);
    button->userId = owner->nextNumber;
    owner->nextNumber += 1;
    button->setName(label);
    button->group = owner;
    attachControl(owner, button);
    // The new button is selected when the group's value is its number.
    owner->selectButton(owner->intValue);
    return button;
}
