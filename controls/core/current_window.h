// controls/core/current_window.h - a scope with a chosen GLUT window current.
#pragma once

// Remembers the current GLUT window and makes it current again at the end of the scope. No
// window may have been current; GLUT only warns about an id that names none, so only a valid
// previous window is given back. Moving hands the restore to the new guard.
class CurrentWindow {
public:
    // Changes nothing now: for code that makes windows current itself (creating one does).
    CurrentWindow();
    // Makes window current as well, when it names one (id > 0).
    explicit CurrentWindow(int window);
    CurrentWindow(CurrentWindow&& other) noexcept;
    CurrentWindow(const CurrentWindow&) = delete;
    CurrentWindow& operator=(const CurrentWindow&) = delete;
    CurrentWindow& operator=(CurrentWindow&&) = delete;
    ~CurrentWindow();

private:
    int previous_;
};

// glutPostRedisplay for a window (id > 0) that need not be current: it is current meanwhile.
void postRedisplayOf(int window);
