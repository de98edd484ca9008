// controls/widgets/checkbox.cpp - the check box and its creation.
#include "controls/widgets/checkbox.h"

#include "controls/core/bitmaps.h"
#include "controls/core/immediate_drawing.h"
#include "controls/windows/control_window.h"

#include <cstdio>
#include <new>

namespace {

// Any non-zero value counts as checked, so it toggles to 0; 1 - value would turn 2 into -1,
// which still reads as checked and could never be cleared by a click.
int toggled(int value) {
    return value == 0 ? 1 : 0;
}

int boxImage(int value, int enabled) {
    if (enabled != 0)
        return value != 0 ? BITMAP_CHECKBOX_ON : BITMAP_CHECKBOX_OFF;
    return value != 0 ? BITMAP_CHECKBOX_ON_DISABLED : BITMAP_CHECKBOX_OFF_DISABLED;
}

} // namespace

Checkbox::Checkbox() {
    type = CONTROL_CHECKBOX;
    width = 100;
    height = 13;
    std::snprintf(name, sizeof name, "Checkbox: %p", static_cast<void*>(this));
    canActivate = 1;
    liveKind = LIVE_INT;
}

void Checkbox::setIntValue(int value) {
    intValue = value;
    syncToLive(1);
    if (window != nullptr && hidden == 0)
        showCheckState();
}

void Checkbox::showPress(int inside) {
    intValue = inside != 0 ? toggled(savedValue) : savedValue;
    showCheckState();
}

void Checkbox::endPress(int inside) {
    if (inside != 0) {
        setIntValue(intValue);
        runCallback();
    } else {
        intValue = savedValue;
    }
    showCheckState();
}

void Checkbox::updateSize() {
    if (window != nullptr)
        width = labelledBoxWidth(*this, textOffset);
}

void Checkbox::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    window->drawBitmap(boxImage(intValue, enabled), 0, 0);
    drawFocusFrame(*this, textOffset);
    drawName(textOffset, 10);
}

void Checkbox::showCheckState() {
    if (window == nullptr || hidden != 0)
        return;
    const ImmediateDrawing drawing(*this);
    window->drawBitmap(boxImage(intValue, enabled), 0, 0);
    drawFocusFrame(*this, textOffset);
}

Checkbox* ControlWindow::addCheckbox(Control* parent, const char* label, int* variable, int userId,
                                     ControlCallback callback) {
    if (parent == nullptr)
        return nullptr;
    Checkbox* checkbox = new (std::nothrow) Checkbox;
    if (checkbox == nullptr)
        return nullptr;
    checkbox->bindVariable(variable);
    checkbox->userId = userId;
    checkbox->setName(label);
    checkbox->callback = callback;
    attachControl(parent, checkbox);
    // The first read shows the application's value without writing it back.
    checkbox->syncFromLive();
    return checkbox;
}
