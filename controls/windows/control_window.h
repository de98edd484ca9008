// controls/windows/control_window.h - one GLUT window showing a tree of controls.
#pragma once

#include "controls/core/bitmaps.h"
#include "controls/core/control.h"
#include "controls/core/control_host.h"
#include "controls/core/control_node.h"

class Panel;
class Checkbox;
class RadioGroup;
class RadioButton;
class Button;
class Label;

// Window flags.
constexpr int WINDOW_SUBWINDOW = 2;
constexpr int WINDOW_DOCK_TOP = 4;
constexpr int WINDOW_DOCK_BOTTOM = 8;
constexpr int WINDOW_DOCK_LEFT = 16;
constexpr int WINDOW_DOCK_RIGHT = 32;

// A single-buffered GLUT window that owns a root Panel and, through it, every control. It
// keeps itself exactly as large as its packed content and draws into its front buffer.
// Made and destroyed only by the WindowManager, which owns it. Its controls see it as their
// ControlHost.
class ControlWindow : public ControlNode, public ControlHost {
public:
    ControlWindow();
    ~ControlWindow() override;
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // --- Creation ---
    int initWindow(const char* title, int flags, int x, int y, int parentWindowId);
    void createTopLevelWindow(const char* title, int x, int y);
    void createSubwindow(int parentWindowId);
    void registerCallbacks();

    // --- Display, reshape and layout ---
    void display();
    void setOrthoProjection();
    void reshape(int width, int height);
    void packControls();
    void alignControls(Control* control);
    // Docked subwindows: widens or heightens the packed root to the host window along the
    // docked edge (never narrower than packed), and positions the subwindow in its parent.
    void stretchToHost();
    void placeSubwindow();
    void refresh() override;

    // --- Main window ---
    void setMainWindow(int id);

    // --- Drawing shared by the controls ---
    // glFlush in this window's context; the window must be current.
    void flush();
    // The primitives of controls/core/drawing.h in this window's background colour, and with
    // its copy of the standard image id.
    void drawRaisedBox(int x, int y, int w, int h);
    void drawBitmap(int id, int x, int y);

    // --- The fields below as the controls read them ---
    int glutWindow() const override { return windowId; }
    int mainWindow() const override { return mainWindowId; }
    void* textFont() const override { return defaultFont; }
    const unsigned char* background() const override { return backgroundColour; }
    Control* focusedControl() const override { return activeControl; }

    // --- Closing ---
    // Asks for the window to be closed at its next display.
    void close();
    // Runs from display when closeRequested is 1: destroys the GLUT window, leaves the
    // manager's list and frees the window with its controls and bitmaps.
    void closeWindow();
    // A GLUT window other than this one to make current while this one is destroyed: the
    // parent, the main window or another control window; 0 when there is none.
    int otherWindow() const;

    // --- Controls ---
    int attachControl(Control* parent, Control* control);
    void idleActiveControl();

    // --- Input dispatch and focus ---
    void keyboardEvent(unsigned char key, int x, int y);
    // The same with the modifier bits supplied: the form above reads them with glutGetModifiers,
    // which GLUT answers only inside an input callback.
    void keyboardEvent(unsigned char key, int x, int y, int modifiers);
    void specialEvent(int key, int x, int y);
    void mouseEvent(int button, int state, int x, int y);
    void motionEvent(int x, int y);
    void updateHover(int x, int y);
    void entryEvent(int state);
    void visibilityEvent(int state);
    Control* findControlAt(int x, int y) const;
    void setActiveControl(Control* control, int cause);
    void clearActiveControl() override;
    Control* nextControl(Control* from) const;
    Control* previousControl(Control* from) const;

    // --- Creating the standard controls; each returns nullptr when it cannot allocate ---
    Panel* addPanel(Control* parent, const char* name, int borderStyle);
    Panel* addPanel(const char* name, int borderStyle);
    Checkbox* addCheckbox(Control* parent, const char* label, int* variable, int userId,
                          ControlCallback callback);
    RadioGroup* addRadioGroup(Control* parent, int* variable, int userId, ControlCallback callback);
    RadioButton* addRadioButton(Control* group, const char* label);
    Button* addButton(Control* parent, const char* label, int userId, ControlCallback callback);
    Label* addLabel(Control* parent, const char* text);
    void addSeparator(Control* parent);

    int mainWindowId = -1;
    int mouseButtonHeld = 0;
    int windowId = -1;
    int hostWindowId = -1;
    Control* activeControl = nullptr;
    Control* hoverControl = nullptr;
    Panel* root = nullptr;
    int contentWidth = 0;
    int contentHeight = 0;
    int flags = 0;
    int closeRequested = 0;
    int parentWindowId = -1;
    int serial = 0;
    Bitmap bitmaps[BITMAP_COUNT];
    char title[MAX_TEXT] = {};
    unsigned char backgroundColour[3] = {200, 200, 200};
    void* defaultFont = nullptr;
};
