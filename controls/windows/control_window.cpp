// controls/windows/control_window.cpp - creating a control window's GLUT window, displaying
// its tree, keeping the window as large as its packed content, and closing it.
#include "controls/windows/control_window.h"

#include "controls/widgets/panel.h"
#include "controls/windows/window_manager.h"

#include <GL/glut.h>

#include <new>

namespace {

// Turns a colour byte into the 0-1 range of glClearColor: 1 / 255.
constexpr float PER_COLOUR_LEVEL = 0.00392156862745098f;

// The GL state every control window draws with: flat 2-D colour into the front buffer.
void initialiseDrawingState() {
    glDisable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDrawBuffer(GL_FRONT);
}

} // namespace

// --- Construction ---

ControlWindow::ControlWindow() {
    for (int id = 0; id < BITMAP_COUNT; ++id)
        bitmaps[id].loadStandard(STANDARD_BITMAPS[id]);
    serial = windowManager.windowCounter++;
    defaultFont = GLUT_BITMAP_HELVETICA_12;

    root = new (std::nothrow) Panel;
    if (root == nullptr)
        return; // the window manager discards a window without a root
    root->setIntValue(BORDER_NONE);
    root->window = this;
    // Only packs: there is no GLUT window to fit yet (see refresh).
    root->setName("");
}

ControlWindow::~ControlWindow() {
    delete root;
    for (Bitmap& bitmap : bitmaps)
        bitmap.release();
}

int ControlWindow::initWindow(const char* windowTitle, int windowFlags, int x, int y,
                              int parentId) {
    flags = windowFlags;
    copyText(title, windowTitle);
    // Creating a window makes it current; the callbacks are registered for it meanwhile.
    const CurrentWindow current;
    if ((flags & WINDOW_SUBWINDOW) != 0) {
        createSubwindow(parentId);
        hostWindowId = parentId;
    } else {
        createTopLevelWindow(title, x, y);
        hostWindowId = windowId;
    }
    registerCallbacks();
    return 1;
}

void ControlWindow::createTopLevelWindow(const char* windowTitle, int x, int y) {
    glutInitWindowSize(100, 100);
    if (x >= 0 || y >= 0)
        glutInitWindowPosition(x, y);
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
    windowId = glutCreateWindow(windowTitle);
    initialiseDrawingState();
}

void ControlWindow::createSubwindow(int parentId) {
    windowId = glutCreateSubWindow(parentId, 0, 0, 100, 100);
    initialiseDrawingState();
    parentWindowId = parentId;
}

// --- Display, reshape and layout ---

void ControlWindow::display() {
    if (closeRequested == 1) {
        closeWindow();
        return;
    }
    glClearColor(backgroundColour[0] * PER_COLOUR_LEVEL, backgroundColour[1] * PER_COLOUR_LEVEL,
                 backgroundColour[2] * PER_COLOUR_LEVEL, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    const int w = glutGet(GLUT_WINDOW_WIDTH);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    if (w != root->width || h != root->height) {
        // Someone else sized the window: show only the background until the content size
        // is back, which brings another display.
        glutReshapeWindow(root->width, root->height);
        flush();
        return;
    }

    setOrthoProjection();
    // Flip y so that control coordinates run downwards from the top-left corner, the way
    // GLUT reports the mouse: (x, y, z) -> (x, h - y, -z).
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(w * 0.5f, h * 0.5f, 0);
    glRotatef(180, 0, 1, 0);
    glRotatef(180, 0, 0, 1);
    glTranslatef(-w * 0.5f, -h * 0.5f, 0);
    root->drawSubtree();
    flush();
}

void ControlWindow::setOrthoProjection() {
    const int w = glutGet(GLUT_WINDOW_WIDTH);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
}

void ControlWindow::reshape(int w, int h) {
    packControls();
    if (w != root->width || h != root->height) {
        contentWidth = root->width;
        contentHeight = root->height;
        glutReshapeWindow(root->width, root->height);
    }
    if ((flags & WINDOW_SUBWINDOW) != 0)
        placeSubwindow();
    glViewport(0, 0, root->width, root->height);
}

void ControlWindow::packControls() {
    root->pack(0, 0);
    alignControls(root);
    if ((flags & WINDOW_SUBWINDOW) != 0)
        stretchToHost();
    contentWidth = root->width;
    contentHeight = root->height;
}

void ControlWindow::alignControls(Control* control) {
    control->align();
    for (Control* child = control->firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        alignControls(child);
}

void ControlWindow::refresh() {
    // Taken before packing, which makes the host window current for a moment.
    const CurrentWindow current;
    packControls();
    // Before initWindow there is no GLUT window of ours: the current window then belongs to
    // someone else and must be neither resized nor redisplayed.
    if (windowId <= 0)
        return;
    if ((flags & WINDOW_SUBWINDOW) != 0) {
        placeSubwindow();
        glutSetWindow(windowId);
        glutPostRedisplay();
    } else {
        glutSetWindow(windowId);
        glutReshapeWindow(contentWidth, contentHeight);
        glutPostRedisplay();
    }
}

// --- Main window ---

void ControlWindow::setMainWindow(int id) {
    mainWindowId = id;
}

// --- Drawing shared by the controls ---

// Single-buffered drawing may sit in the driver's queue until something flushes it.
void ControlWindow::flush() {
    glFlush();
}

void ControlWindow::drawRaisedBox(int left, int top, int w, int h) {
    ::drawRaisedBox(backgroundColour, left, top, w, h);
}

void ControlWindow::drawBitmap(int id, int left, int top) {
    ::drawBitmap(bitmaps[id], left, top);
}

// --- Closing ---

void ControlWindow::close() {
    closeRequested = 1;
    if (windowId > 0)
        postRedisplayOf(windowId);
}

void ControlWindow::closeWindow() {
    // Destroy the window while another one is current: a context destroyed while current
    // lives on until it is unbound, and Mesa then flushes it into the X window that is gone
    // already, a fatal X error (seen after front-buffer reads).
    const int other = otherWindow();
    if (other > 0)
        glutSetWindow(other);
    if (windowId > 0)
        glutDestroyWindow(windowId);
    if (parent != nullptr)
        unlink(this);
    if (windowManager.activeWindow == this)
        windowManager.activeWindow = nullptr;
    if (parentWindowId != -1) {
        // Nudge the parent's size so that its reshape runs and the remaining subwindows are
        // placed again; the parent stays current.
        glutSetWindow(parentWindowId);
        const int w = glutGet(GLUT_WINDOW_WIDTH);
        const int h = glutGet(GLUT_WINDOW_HEIGHT);
        glutReshapeWindow(w + 1, h);
        glutReshapeWindow(w - 1, h);
    }
    delete this; // frees the control tree and the bitmaps
    windowManager.updateIdleRegistration();
}

int ControlWindow::otherWindow() const {
    if (parentWindowId > 0)
        return parentWindowId;
    if (mainWindowId > 0)
        return mainWindowId;
    for (const ControlNode* node = windowManager.windows.firstChild; node != nullptr;
         node = node->nextSibling) {
        const ControlWindow* window = static_cast<const ControlWindow*>(node);
        if (window != this && window->windowId > 0)
            return window->windowId;
    }
    return 0;
}

// --- Controls ---

int ControlWindow::attachControl(Control* parent, Control* control) {
    if (parent == nullptr || control == nullptr)
        return 0;
    const bool collapsed = parent->collapsible != 0 && parent->open == 0;
    if (collapsed) {
        // Link into the holding list, keeping the visible child list of the parent empty.
        parent->firstChild = parent->collapsedChildren.firstChild;
        parent->lastChild = parent->collapsedChildren.lastChild;
        linkAsLastChild(control, parent);
        parent->collapsedChildren.firstChild = parent->firstChild;
        parent->collapsedChildren.lastChild = parent->lastChild;
        parent->firstChild = nullptr;
        parent->lastChild = nullptr;
    } else {
        linkAsLastChild(control, parent);
    }
    // The window first, so updateSize can measure text in the window's font.
    control->window = this;
    control->updateSize();
    control->enabled = parent->enabled;
    refresh();
    if (parent->hidden != 0 || collapsed)
        control->hidden = 1;
    return 1;
}

void ControlWindow::idleActiveControl() {
    if (activeControl == nullptr || activeControl->needsIdle() == 0)
        return;
    // The previous window is not restored: the rest of the idle pass runs in this one.
    if (windowId > 0 && windowId != glutGetWindow())
        glutSetWindow(windowId);
    activeControl->idle();
}
