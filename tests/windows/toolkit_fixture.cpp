// tests/windows/toolkit_fixture.cpp - GLUT set-up, event pumping and front-buffer reads.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/control_window.h"
#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

#include <chrono>
#include <new>

int ToolkitTest::mainDisplays = 0;
std::map<int, int> ToolkitTest::displays;
std::map<int, std::vector<std::pair<int, int>>> ToolkitTest::reshapes;

namespace {

// Counts the displays of control windows, then runs the toolkit's own display callback.
void countingControlDisplay() {
    ++ToolkitTest::displays[glutGetWindow()];
    onDisplay();
}

void countingControlReshape(int w, int h) {
    ToolkitTest::reshapes[glutGetWindow()].push_back({w, h});
    onReshape(w, h);
}

int nothrowAllocationsToFail = 0;

} // namespace

void failNothrowAllocation(int nth) { nothrowAllocationsToFail = nth; }

// Replaces the allocation that creation operations use, so that their failure path can run.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (nothrowAllocationsToFail > 0 && --nothrowAllocationsToFail == 0)
        return nullptr;
    return ::operator new(size);
}

std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

bool nearColour(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

void initGlutOnce() {
    static bool done = false;
    if (done)
        return;
    done = true;
    static char programName[] = "toolkit_test";
    static char* argv[] = {programName, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
}

bool pumpEventsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        glutMainLoopEvent();
    }
    return true;
}

Swatch::Swatch(int w, int h, Rgb c) : colour(c) {
    width = w;
    height = h;
}

void Swatch::draw(int, int) {
    ++draws;
    // Covers pixels 0..width-1 and 0..height-1 of the control: the origin is a pixel centre.
    glColor3ub(colour.red, colour.green, colour.blue);
    glBegin(GL_QUADS);
    glVertex2f(-0.5f, -0.5f);
    glVertex2f(width - 0.5f, -0.5f);
    glVertex2f(width - 0.5f, height - 0.5f);
    glVertex2f(-0.5f, height - 0.5f);
    glEnd();
}

void ToolkitTest::countMainDisplay() {
    ++mainDisplays;
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
}

void ToolkitTest::SetUp() {
    initGlutOnce();
    mainDisplays = 0;
    displays.clear();
    reshapes.clear();
    failNothrowAllocation(0);
    // Far right, so that it never covers the control windows whose pixels are read back.
    glutInitWindowSize(400, 300);
    glutInitWindowPosition(800, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    mainWindow = glutCreateWindow("main");
    glutDisplayFunc(countMainDisplay);
    ASSERT_TRUE(pumpEventsUntil([] { return mainDisplays > 0; }));
}

void ToolkitTest::TearDown() {
    windowManager.setIdleCallback(nullptr);
    for (ControlNode* node = windowManager.windows.firstChild; node != nullptr;
         node = node->nextSibling) {
        ControlWindow* window = static_cast<ControlWindow*>(node);
        // With a main window to switch to, the closing window is destroyed while not current.
        window->setMainWindow(mainWindow);
        window->close();
    }
    EXPECT_TRUE(pumpEventsUntil([] { return windowManager.windows.firstChild == nullptr; }));
    glutDestroyWindow(mainWindow);
    glutMainLoopEvent();
}

ControlWindow* ToolkitTest::makeWindow(const char* title, int x, int y) {
    ControlWindow* window = windowManager.createWindow(title, 0, x, y);
    if (window == nullptr)
        return nullptr;
    const int previous = glutGetWindow();
    glutSetWindow(window->windowId);
    glutDisplayFunc(countingControlDisplay);
    glutReshapeFunc(countingControlReshape);
    if (previous > 0)
        glutSetWindow(previous);
    return window;
}

ControlWindow* ToolkitTest::makeSubwindow(int flags) {
    ControlWindow* window = windowManager.createSubwindow(mainWindow, flags);
    if (window == nullptr)
        return nullptr;
    const int previous = glutGetWindow();
    glutSetWindow(window->windowId);
    glutDisplayFunc(countingControlDisplay);
    if (previous > 0)
        glutSetWindow(previous);
    return window;
}

Swatch* ToolkitTest::addSwatch(ControlWindow* window, Control* parent, int w, int h, Rgb colour) {
    Swatch* swatch = new Swatch(w, h, colour);
    window->attachControl(parent != nullptr ? parent : static_cast<Control*>(window->root), swatch);
    return swatch;
}

int ToolkitTest::windowWidth(int windowId) {
    const int previous = glutGetWindow();
    glutSetWindow(windowId);
    const int w = glutGet(GLUT_WINDOW_WIDTH);
    if (previous > 0)
        glutSetWindow(previous);
    return w;
}

int ToolkitTest::windowHeight(int windowId) {
    const int previous = glutGetWindow();
    glutSetWindow(windowId);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    if (previous > 0)
        glutSetWindow(previous);
    return h;
}

bool ToolkitTest::show(ControlWindow* window) {
    const int id = window->windowId;
    const bool shown = pumpEventsUntil([&] {
        return displays[id] > 0 && windowWidth(id) == window->contentWidth &&
               windowHeight(id) == window->contentHeight;
    });
    if (!shown)
        return false;
    const int previous = glutGetWindow();
    glutSetWindow(id);
    onDisplay();
    if (previous > 0)
        glutSetWindow(previous);
    return true;
}

void ToolkitTest::settle(ControlWindow* window) {
    const int before = displays[window->windowId];
    const int previous = glutGetWindow();
    glutSetWindow(window->windowId);
    glutPostRedisplay();
    if (previous > 0)
        glutSetWindow(previous);
    EXPECT_TRUE(pumpEventsUntil([&] { return displays[window->windowId] > before; }));
}

std::vector<std::vector<Rgb>> ToolkitTest::readRect(ControlWindow* window, int x, int y, int w,
                                                    int h) {
    const int previous = glutGetWindow();
    glutSetWindow(window->windowId);
    const int windowH = glutGet(GLUT_WINDOW_HEIGHT);
    std::vector<unsigned char> bytes(static_cast<size_t>(w) * h * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // GL rows run bottom-up: the window's row y is GL row windowH - 1 - y.
    glReadPixels(x, windowH - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    if (previous > 0)
        glutSetWindow(previous);
    std::vector<std::vector<Rgb>> rows(h, std::vector<Rgb>(w));
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column) {
            const unsigned char* p = &bytes[((h - 1 - row) * w + column) * 3];
            rows[row][column] = Rgb{p[0], p[1], p[2]};
        }
    return rows;
}

Rgb ToolkitTest::pixel(ControlWindow* window, int x, int y) {
    return readRect(window, x, y, 1, 1)[0][0];
}
