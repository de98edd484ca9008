// tests/windows/toolkit_fixture.cpp - GLUT set-up, event pumping and front-buffer reads.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"
#include "tests/support/gl_test_support.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdlib>
#include <new>

int ToolkitTest::slotX = 0, ToolkitTest::slotY = 0, ToolkitTest::mainDisplays = 0;
std::map<int, int> ToolkitTest::displays;
std::map<int, std::vector<std::pair<int, int>>> ToolkitTest::reshapes;

namespace {

int nothrowAllocationsToFail = 0;

// Slots of 480 x 390 pixels that avoid the viewer's corner and the widget tests' slots.
const std::vector<ScreenSlot> TOOLKIT_SLOTS = {{420, 0}, {900, 0}, {0, 420}, {0, 810}};

::testing::Environment* const glutShutdown = ::testing::AddGlobalTestEnvironment(new GlutShutdown);

void initGlutOnce() {
    if (glutGet(GLUT_INIT_STATE) != 0)
        return;
    const ScreenSlot slot = claimScreenSlot("toolkit", TOOLKIT_SLOTS);
    ToolkitTest::slotX = slot.x;
    ToolkitTest::slotY = slot.y;
    // Without a server GLUT stays uninitialised, and the first window ends the process.
    initGlutHoldingServer("toolkit_test");
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
}

} // namespace

// Lets creation operations run their failure path.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (nothrowAllocationsToFail > 0 && --nothrowAllocationsToFail == 0)
        return nullptr;
    return ::operator new(size);
}

void failNothrowAllocation(int nth) {
    nothrowAllocationsToFail = nth;
}

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

bool nearColour(const Rgb& a, const Rgb& b) {
    return std::abs(a.red - b.red) <= 1 && std::abs(a.green - b.green) <= 1 &&
           std::abs(a.blue - b.blue) <= 1;
}

bool pumpEventsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        glutMainLoopEvent();
    return done();
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

void ToolkitTest::SetUp() {
    initGlutOnce();
    mainDisplays = 0;
    displays.clear();
    reshapes.clear();
    failNothrowAllocation(0);
    glutInitWindowSize(mainSize.first, mainSize.second);
    glutInitWindowPosition(slotX + mainPosition.first, slotY + mainPosition.second);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    mainWindow = glutCreateWindow("main");
    glutDisplayFunc([] {
        ++mainDisplays;
        glClear(GL_COLOR_BUFFER_BIT);
        glutSwapBuffers();
    });
    ASSERT_TRUE(pumpEventsUntil([] { return mainDisplays > 0; }));
}

void ToolkitTest::TearDown() {
    windowManager.setIdleCallback(nullptr);
    for (ControlNode* node = windowManager.windows.firstChild; node; node = node->nextSibling) {
        // With a main window to switch to, a closing window is destroyed while not current.
        static_cast<ControlWindow*>(node)->setMainWindow(mainWindow);
        static_cast<ControlWindow*>(node)->close();
    }
    EXPECT_TRUE(pumpEventsUntil([] { return windowManager.windows.firstChild == nullptr; }));
    glutDestroyWindow(mainWindow);
    glutMainLoopEvent();
}

ControlWindow* ToolkitTest::makeWindow(const char* title, int x, int y) {
    ControlWindow* window = windowManager.createWindow(title, 0, slotX + x, slotY + y);
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

Swatch* ToolkitTest::addSwatch(ControlWindow* window, Control* parent, int w, int h, Rgb colour) {
    Swatch* swatch = new Swatch(w, h, colour);
    window->attachControl(parent != nullptr ? parent : window->root, swatch);
    return swatch;
}

std::pair<int, int> ToolkitTest::windowSize(int id) {
    InWindow in(id);
    return {glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

bool ToolkitTest::show(ControlWindow* window) {
    const int id = window->windowId;
    if (!pumpEventsUntil([&] {
            return displays[id] > 0 &&
                   windowSize(id) == std::make_pair(window->contentWidth, window->contentHeight);
        }))
        return false;
    InWindow in(id);
    onDisplay();
    return true;
}

void ToolkitTest::settle(ControlWindow* window) {
    const int id = window->windowId, before = displays[id];
    {
        InWindow in(id);
        glutPostRedisplay();
    }
    EXPECT_TRUE(pumpEventsUntil([&] { return displays[id] > before; }));
}

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
