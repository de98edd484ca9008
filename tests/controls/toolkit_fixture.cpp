// tests/controls/toolkit_fixture.cpp - GLUT set-up, windows, events and front-buffer reads for
// the toolkit's tests.
#include "tests/controls/toolkit_fixture.h"

#include <GL/glx.h>

#include <new>

ScreenSlot ToolkitTest::slot;
int ToolkitTest::mainDisplays = 0;
std::map<int, int> ToolkitTest::displays;
std::map<int, std::vector<std::pair<int, int>>> ToolkitTest::reshapes;

namespace {

int nothrowAllocationsToFail = 0;

// Slots of 480 x 390 pixels that keep out of the viewer's corner at (0, 0).
const std::vector<ScreenSlot> TOOLKIT_SLOTS = {{420, 0},   {900, 0},    {0, 420},   {0, 810},
                                               {640, 420}, {1120, 420}, {640, 810}, {1120, 810}};

::testing::Environment* const glutShutdown = ::testing::AddGlobalTestEnvironment(new GlutShutdown);

bool initGlutOnce() {
    if (glutGet(GLUT_INIT_STATE) != 0)
        return true;
    ToolkitTest::slot = claimScreenSlot("toolkit", TOOLKIT_SLOTS);
    if (!initGlutHoldingServer("toolkit_test"))
        return false;
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    return true;
}

} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (nothrowAllocationsToFail > 0 && --nothrowAllocationsToFail == 0)
        return nullptr;
    return ::operator new(size);
}

void failNothrowAllocation(int nth) {
    nothrowAllocationsToFail = nth;
}

void recordCallback(int userId) {
    callbacks.push_back({userId, glutGetWindow()});
}

InWindow::InWindow(int id) : previous(glutGetWindow()) {
    glutSetWindow(id);
}

InWindow::~InWindow() {
    if (previous > 0)
        glutSetWindow(previous);
}

Swatch::Swatch(int w, int h, Rgb c) : colour(c) {
    width = w;
    height = h;
}

void Swatch::draw(int, int) {
    ++draws;
    // The origin is the centre of the top-left pixel: cover pixels 0..width-1, 0..height-1.
    glColor3ub(colour.red, colour.green, colour.blue);
    glRectf(-0.5f, -0.5f, width - 0.5f, height - 0.5f);
}

// --- Set-up and tear-down ---

void ToolkitTest::SetUp() {
    // Without a server GLUT stays uninitialised, and the first window would end the process.
    ASSERT_TRUE(initGlutOnce());
    mainDisplays = 0;
    displays.clear();
    reshapes.clear();
    callbacks.clear();
    failNothrowAllocation(0);
    glutInitWindowSize(mainSize.first, mainSize.second);
    glutInitWindowPosition(slot.x + mainPosition.first, slot.y + mainPosition.second);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    mainWindow = glutCreateWindow("main");
    glutDisplayFunc([] {
        ++mainDisplays;
        glClear(GL_COLOR_BUFFER_BIT);
        glutSwapBuffers();
    });
    ASSERT_TRUE(pumpUntil([] { return mainDisplays > 0; }));
}

void ToolkitTest::TearDown() {
    windowManager.setIdleCallback(nullptr);
    for (ControlNode* node = windowManager.windows.firstChild; node; node = node->nextSibling) {
        // With a main window to switch to, a closing window is destroyed while not current.
        static_cast<ControlWindow*>(node)->setMainWindow(mainWindow);
        static_cast<ControlWindow*>(node)->close();
    }
    EXPECT_TRUE(pumpUntil([] { return windowManager.windows.firstChild == nullptr; }));
    if (mainWindow > 0)
        glutDestroyWindow(mainWindow);
    glutMainLoopEvent();
}

// --- Windows ---

ControlWindow* ToolkitTest::makeWindow(const char* title, int x, int y) {
    ControlWindow* window = windowManager.createWindow(title, 0, slot.x + x, slot.y + y);
    madeWindows.push_back(window->windowId);
    InWindow in(window->windowId);
    glutDisplayFunc([] {
        ++displays[glutGetWindow()];
        onDisplay();
    });
    glutReshapeFunc([](int w, int h) {
        reshapes[glutGetWindow()].push_back({w, h});
        onReshape(w, h);
    });
    return window;
}

ControlWindow* ToolkitTest::openWindow(int x, int y) {
    ControlWindow* window = makeWindow("Controls", x, y);
    window->setMainWindow(mainWindow);
    return window;
}

Swatch* ToolkitTest::addSwatch(ControlWindow* window, Control* parent, int w, int h, Rgb colour) {
    Swatch* swatch = new Swatch(w, h, colour);
    window->attachControl(parent != nullptr ? parent : window->root, swatch);
    return swatch;
}

std::pair<int, int> ToolkitTest::windowSize(int id) {
    InWindow in(id);
    return {glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

// --- Waiting for the screen ---

bool ToolkitTest::show(ControlWindow* window) {
    const int id = window->windowId;
    if (!pumpUntil([&] {
            return displays[id] > 0 &&
                   windowSize(id) == std::make_pair(window->contentWidth, window->contentHeight);
        }))
        return false;
    InWindow in(id);
    onDisplay();
    return true;
}

bool ToolkitTest::sizesMatch() {
    for (int id : madeWindows) {
        const ControlWindow* window = windowManager.findWindow(id);
        if (window != nullptr &&
            windowSize(id) != std::make_pair(window->root->width, window->root->height))
            return false;
    }
    return true;
}

void ToolkitTest::settle() {
    glutSetWindow(mainWindow);
    Display* display = glXGetCurrentDisplay();
    pumpUntil([&] {
        XSync(display, False);
        return XPending(display) == 0 && sizesMatch() && mainDisplays > 0;
    });
    ASSERT_TRUE(sizesMatch());
    ASSERT_GT(mainDisplays, 0);
    glutMainLoopEvent();
    glutSetWindow(mainWindow);
}

void ToolkitTest::serveRedisplays(ControlWindow* window) {
    const int id = window->windowId, before = displays[id];
    {
        InWindow in(id);
        glutPostRedisplay();
    }
    EXPECT_TRUE(pumpUntil([&] { return displays[id] > before; }));
}

int ToolkitTest::mainRedisplays() {
    const int before = mainDisplays;
    glutMainLoopEvent();
    return mainDisplays - before;
}

// --- Events ---

void ToolkitTest::mouse(ControlWindow* w, int button, int state, int x, int y) {
    glutSetWindow(w->windowId);
    onMouse(button, state, x, y);
}

void ToolkitTest::drag(ControlWindow* w, int x, int y) {
    glutSetWindow(w->windowId);
    onMotion(x, y);
}

void ToolkitTest::key(ControlWindow* w, unsigned char k, int modifiers) {
    glutSetWindow(w->windowId);
    w->keyboardEvent(k, 0, 0, modifiers);
}

void ToolkitTest::click(Control* c) {
    press(c->window, midX(c), midY(c));
    release(c->window, midX(c), midY(c));
}

void ToolkitTest::expectCallbacks(const std::vector<int>& ids) {
    ASSERT_EQ(callbacks.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(callbacks[i].userId, ids[i]);
        EXPECT_EQ(callbacks[i].currentWindow, mainWindow);
    }
}

// --- Looks ---

std::vector<std::vector<Rgb>> ToolkitTest::readRect(ControlWindow* window, int x, int y, int w,
                                                    int h) {
    InWindow in(window->windowId);
    std::vector<unsigned char> bytes(static_cast<size_t>(w) * h * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, glutGet(GLUT_WINDOW_HEIGHT) - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE,
                 bytes.data());
    std::vector<std::vector<Rgb>> rows(h, std::vector<Rgb>(w));
    for (int row = 0; row < h; ++row) // GL rows run bottom-up
        for (int column = 0; column < w; ++column) {
            const unsigned char* p = &bytes[((h - 1 - row) * w + column) * 3];
            rows[row][column] = Rgb{p[0], p[1], p[2]};
        }
    return rows;
}

int ToolkitTest::countColour(ControlWindow* window, int x0, int y0, int x1, int y1, Rgb colour) {
    int count = 0;
    for (const std::vector<Rgb>& row : readRect(window, x0, y0, x1 - x0 + 1, y1 - y0 + 1))
        for (const Rgb& p : row)
            count += p == colour ? 1 : 0;
    return count;
}
