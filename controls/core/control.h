// controls/core/control.h - base class of every control of the toolkit.
#pragma once

#include "controls/core/control_host.h"
#include "controls/core/control_node.h"
#include "controls/core/current_window.h"
#include "controls/core/drawing.h"

#include <cstdint>

// Only named, for the window field: the core uses a control's window as a ControlHost.
class ControlWindow;

// Text fields of controls and windows are inline arrays of this many bytes.
constexpr int MAX_TEXT = 300;
constexpr int MAX_FLOAT_ARRAY = 30;

// Type codes (the type field).
constexpr int CONTROL_CHECKBOX = 1;
constexpr int CONTROL_BUTTON = 2;
constexpr int CONTROL_RADIO_BUTTON = 3;
constexpr int CONTROL_RADIO_GROUP = 4;
constexpr int CONTROL_LABEL = 6;
constexpr int CONTROL_PANEL = 9;
constexpr int CONTROL_SEPARATOR = 11;
constexpr int CONTROL_COLUMN = 12;

// Kinds of bound application variable (the liveKind field).
constexpr int LIVE_NONE = 0;
constexpr int LIVE_INT = 1;
constexpr int LIVE_FLOAT = 2;
constexpr int LIVE_TEXT = 3;
constexpr int LIVE_FLOAT_ARRAY = 5;

// Horizontal alignment of a control in its column.
constexpr int ALIGN_CENTER = 1;
constexpr int ALIGN_RIGHT = 2;
constexpr int ALIGN_LEFT = 3;

// Why a control receives the keyboard focus.
constexpr int ACTIVATE_BY_MOUSE = 1;
constexpr int ACTIVATE_BY_TAB = 2;

// An application callback receives the control's userId.
using ControlCallback = void (*)(int userId);

// Copies text into a MAX_TEXT field: at most 299 bytes, always NUL-terminated.
void copyText(char* field, const char* text);

// A node in the control tree of one ControlWindow. Owns its children. Coordinates are window
// pixels, origin top-left, y downwards; a control draws in its own coordinates (origin at its
// top-left corner). The 24 virtual operations below keep their slot order.
class Control : public ControlNode {
public:
    Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Slot 0: copies the caption (see copyText) and refreshes the window, if any.
    virtual void setName(const char* text);
    // Slots 1-3: store the value or pointer, then syncToLive with redisplay.
    virtual void setIntValue(int value);
    virtual void setFloatValue(float value);
    virtual void bindVariable(void* variable);
    // Slot 4: copies floatArraySize elements in, then syncToLive without redisplay.
    virtual void setFloatArray(const float* values);
    virtual float getFloatValue();
    virtual int getIntValue();
    // Slot 7: copies floatArraySize elements out.
    virtual void getFloatArray(float* out);

    // Slots 8-10, input in window coordinates, sent by the window's input dispatch. mouseDown
    // goes to the enabled control under the pointer; mouseHeld and mouseUp go to the focused
    // control, with inside 1 when the pointer is over it. Results are ignored by the caller.
    virtual int mouseDown(int x, int y);
    virtual int mouseUp(int x, int y, int inside);
    virtual int mouseHeld(int x, int y, int inside);
    // Slots 11-12: keys for the focused control, with GLUT modifier bits.
    virtual int keyPressed(int key, int modifiers);
    virtual int specialKey(int key, int modifiers);

    // Slot 13: adjust size and margins before and after layout; needs a window to measure text.
    virtual void updateSize();
    // Slot 14: idle work, called only while needsIdle() returns non-zero and the control
    // has the focus.
    virtual void idle();
    // Slot 15: the pointer entered (1) or left (0) the control.
    virtual int mouseOver(int entering, int x, int y);
    // Slots 16-17: recursive; a control with a window redraws itself at once.
    virtual void enable();
    virtual void disable();
    // Slots 18-19: set and clear the active flag; called only by the focus logic.
    virtual void activate(int cause);
    virtual void deactivate();
    // Slot 20: moves the control horizontally in its column by its alignment.
    virtual void align();
    // Slot 21: draws the control at its own origin; the arguments are unused.
    virtual void draw(int, int) = 0;
    // Slot 22: only a label gives text a meaning.
    virtual void setText(const char* text);
    // Slot 23: non-zero while the control wants idle() calls.
    virtual int needsIdle();

    // Frees the subtree; a control itself is freed by its owner.
    virtual ~Control();

    // --- Live variables and callbacks ---
    void syncToLive(int redisplay);
    void syncFromLive();
    void runCallback();

    // --- Layout ---
    void pack(int left, int top);
    // Left edge, width and margin of the column the control sits in; untouched without parent.
    void columnBounds(int* left, int* width, int* margin) const;

    // --- Drawing ---
    void* currentFont() const;
    int textWidth(const char* text) const;
    void drawText(const char* text) const;
    void applyBackgroundColour() const;
    void drawName(int x, int y) const;
    // Makes the control's window current, drawing into its front buffer; the guard returned
    // gives the previous window back.
    [[nodiscard]] CurrentWindow selectWindow() const;
    // Draws the control at once, outside the display pass (see ImmediateDrawing).
    void redraw();
    void drawSubtree();

    // The window as the core sees it; until the control is attached to one, a bare
    // ControlHost (no GLUT windows, the default font, nothing to refresh). Never nullptr.
    ControlHost* host() const;

    // --- Tree links as controls ---
    Control* parentControl() const { return static_cast<Control*>(parent); }
    Control* firstChildControl() const { return static_cast<Control*>(firstChild); }
    Control* lastChildControl() const { return static_cast<Control*>(lastChild); }
    Control* nextSiblingControl() const { return static_cast<Control*>(nextSibling); }
    Control* previousSiblingControl() const { return static_cast<Control*>(previousSibling); }

    int32_t width = 100;
    int32_t height = 13;
    int32_t x = 6;
    int32_t y = 6;
    int32_t xMargin = 6;
    int32_t topMargin = 6;
    int32_t bottomMargin = 6;
    int32_t active = 0;
    int32_t canActivate = 1;
    int32_t spaceClicks = 1;
    int32_t userId = 0;
    int32_t type = 0;
    int32_t isContainer = 0;
    int32_t alignment = ALIGN_LEFT;
    ControlCallback callback = nullptr;
    void* liveVariable = nullptr;
    float floatValue = 0;
    int32_t enabled = 1;
    int32_t intValue = 0;
    float floatArray[MAX_FLOAT_ARRAY] = {};
    char name[MAX_TEXT] = {};
    char text[MAX_TEXT] = {};
    WindowLink<ControlWindow> window;
    void* font = nullptr;
    int32_t liveKind = LIVE_NONE;
    int32_t liveInitialised = 0;
    int32_t floatArraySize = 0;
    int32_t collapsible = 0;
    int32_t open = 1;
    ControlNode collapsedChildren;
    int32_t hidden = 0;
};
