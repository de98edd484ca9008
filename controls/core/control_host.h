// controls/core/control_host.h - what a control needs from the window it sits in.
#pragma once

#include <cstddef>

class Control;

// The window of a control as the toolkit's core sees it: which GLUT windows to use, its font
// and colour, its focus, and the changes it must hear of. ControlWindow overrides every
// answer, so the core never needs the window classes. By itself it is what a control sees
// before it is attached: no GLUT windows, the toolkit's default font and colour, no layout
// and no focus.
class ControlHost {
public:
    virtual ~ControlHost() = default;

    // The GLUT window the controls draw into, and the application's main window that the
    // callbacks run in; 0 or less when there is none, and then the current window serves.
    virtual int glutWindow() const;
    virtual int mainWindow() const;
    // The font of controls without one of their own (Helvetica 12), and the background as
    // red, green, blue (a light grey).
    virtual void* textFont() const;
    virtual const unsigned char* background() const;

    // A control's size or caption changed: pack again, fit and redisplay the window.
    virtual void refresh();
    // The control holding the keyboard focus, if any, and taking the focus away from it.
    virtual Control* focusedControl() const;
    virtual void clearActiveControl();

    // A value the application shows changed: redisplay the main window, if there is one.
    void postMainRedisplay();
};

// A control's pointer to its window. The core reaches the window through host() alone; code
// that knows the window's class (the windows, the widgets, applications) uses the link as a
// pointer to that class.
template <typename Window> class WindowLink {
public:
    WindowLink() = default;
    WindowLink(Window* window) : host_(window) {}

    ControlHost* host() const { return host_; }
    Window* operator->() const { return get(); }
    operator Window*() const { return get(); }
    bool operator==(std::nullptr_t) const { return host_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return host_ != nullptr; }

private:
    Window* get() const { return static_cast<Window*>(host_); }

    ControlHost* host_ = nullptr;
};
