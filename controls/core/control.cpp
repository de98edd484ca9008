// controls/core/control.cpp - construction, destruction, default virtual operations and the
// recursive enable and disable of a control.
#include "controls/core/control.h"

#include <cstdio>
#include <cstring>

void copyText(char* field, const char* text) {
    if (text == nullptr)
        text = "";
    // memmove: a control may be handed its own field back (setName(name)).
    size_t length = strnlen(text, MAX_TEXT - 1);
    memmove(field, text, length);
    memset(field + length, 0, MAX_TEXT - length);
}

Control::Control() {
    snprintf(name, sizeof name, "Control: %p", static_cast<void*>(this));
}

Control::~Control() {
    for (ControlNode* child = firstChild; child != nullptr;) {
        ControlNode* next = child->nextSibling;
        delete static_cast<Control*>(child);
        child = next;
    }
    // Children parked under a collapsed control belong to it as much as the visible ones.
    for (ControlNode* child = collapsedChildren.firstChild; child != nullptr;) {
        ControlNode* next = child->nextSibling;
        delete static_cast<Control*>(child);
        child = next;
    }
}

ControlHost* Control::host() const {
    // Built at first use, so it is ready for controls made by static constructors.
    static ControlHost detached;
    return window != nullptr ? window.host() : &detached;
}

void Control::setName(const char* newName) {
    copyText(name, newName);
    host()->refresh();
}

int Control::mouseDown(int, int) {
    return 0;
}
int Control::mouseUp(int, int, int) {
    return 0;
}
int Control::mouseHeld(int, int, int) {
    return 0;
}
int Control::keyPressed(int, int) {
    return 0;
}
int Control::specialKey(int, int) {
    return 0;
}
void Control::updateSize() {}
void Control::idle() {}
int Control::mouseOver(int, int, int) {
    return 0;
}

void Control::enable() {
    enabled = 1;
    if (window == nullptr)
        return;
    redraw();
    for (Control* child = firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        child->enable();
}

void Control::disable() {
    enabled = 0;
    if (window == nullptr)
        return;
    // The focus goes first, so the redraw below already shows the control without it.
    if (host()->focusedControl() == this)
        host()->clearActiveControl();
    redraw();
    for (Control* child = firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        child->disable();
}

void Control::activate(int) {
    active = 1;
}
void Control::deactivate() {
    active = 0;
}
void Control::setText(const char*) {}
int Control::needsIdle() {
    return 0;
}
