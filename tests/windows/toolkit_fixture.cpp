// tests/windows/toolkit_fixture.cpp - GLUT set-up, event pumping and front-buffer reads.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/control_window.h"
#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

void failNothrowAllocation(int nth) {
    nothrowAllocationsToFail = nth;
}

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

namespace {

// Tests run in parallel under one X server, and a front-buffer read returns what is on the
// screen there, so each test process keeps its windows inside a screen area of its own, held
// by a lock on a file that the system releases when the process ends. The areas avoid the
// top-left corner (the viewer's window) and the lower right (the widget tests' areas).
ScreenSlot claimScreenSlot() {
    const ScreenSlot slots[] = {{420, 0}, {900, 0}, {0, 420}, {0, 810}};
    const int count = static_cast<int>(sizeof slots / sizeof slots[0]);
    const char* display = std::getenv("DISPLAY");
    std::string name = display != nullptr ? display : "none";
    for (char& c : name)
        c = (c == ':' || c == '/' || c == '.') ? '_' : c;
    std::vector<int> files;
    for (int i = 0; i < count; ++i) {
        const std::string path = "/tmp/pointillist-toolkit-" + name + "-" + std::to_string(i);
        files.push_back(open(path.c_str(), O_CREAT | O_RDWR, 0666));
    }
    int chosen = -1;
    for (int i = 0; i < count && chosen < 0; ++i)
        if (files[i] >= 0 && flock(files[i], LOCK_EX | LOCK_NB) == 0)
            chosen = i;
    if (chosen < 0) { // all taken: wait for one rather than overlap
        chosen = static_cast<int>(getpid() % count);
        flock(files[chosen], LOCK_EX);
    }
    for (int i = 0; i < count; ++i)
        if (i != chosen && files[i] >= 0)
            close(files[i]);
    return slots[chosen];
}

// Mesa unloads its driver when GLUT closes the display at exit, before the leak checker runs,
// which would leave the driver's own allocations without a module name to suppress.
void keepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

// Closes the display before the process ends, stopping the driver's threads first.
struct GlutShutdown : ::testing::Environment {
    void TearDown() override {
        if (glutGet(GLUT_INIT_STATE) != 0)
            glutExit();
    }
};
::testing::Environment* const glutShutdown = ::testing::AddGlobalTestEnvironment(new GlutShutdown);

} // namespace

ScreenSlot ToolkitTest::slot;

void initGlutOnce() {
    static bool done = false;
    if (done)
        return;
    done = true;
    ToolkitTest::slot = claimScreenSlot();
    // The X server resets when its last client leaves and refuses connections meanwhile;
    // holding a connection of our own while GLUT connects rides that out.
    Display* held = nullptr;
    for (int i = 0; i < 500 && held == nullptr; ++i)
        if ((held = XOpenDisplay(nullptr)) == nullptr)
            usleep(10000);
    static char programName[] = "toolkit_test";
    static char* argv[] = {programName, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    if (held != nullptr)
        XCloseDisplay(held);
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
    glutInitWindowSize(mainSize.first, mainSize.second);
    glutInitWindowPosition(slot.x + mainPosition.first, slot.y + mainPosition.second);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    mainWindow = glutCreateWindow("main");
    glutDisplayFunc(countMainDisplay);
    static bool driverKept = false;
    if (!driverKept) {
        keepGlDriverLoaded();
        driverKept = true;
    }
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
    ControlWindow* window = windowManager.createWindow(title, 0, slot.x + x, slot.y + y);
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
