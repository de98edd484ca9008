// tests/controls/windows/input_test.cpp - which control receives each event, hit testing, the tab
// order, the focus across windows, events from the X server, and a long run of random events.
#include "tests/controls/toolkit_fixture.h"

#include <functional>
#include <random>
#include <string>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// Records what the dispatch sends it; draws nothing.
class Probe : public Control {
public:
    int mouseDown(int, int) override { return note("down"); }
    int mouseUp(int, int, int inside) override { return note("up" + std::to_string(inside)); }
    int mouseHeld(int, int, int inside) override { return note("held" + std::to_string(inside)); }
    int keyPressed(int key, int) override { return note("key" + std::to_string(key)); }
    int mouseOver(int entering, int, int) override {
        return note("over" + std::to_string(entering));
    }
    void draw(int, int) override {}
    int note(const std::string& what) {
        log += what + " ";
        return 0;
    }
    std::string log;
};

class Input : public OneWindowTest {
protected:
    Probe* addProbe(Control* parent) {
        Probe* probe = new Probe;
        window->attachControl(parent, probe);
        return probe;
    }
    static void tab(ControlWindow* w) { key(w, '\t'); }
    static void shiftTab(ControlWindow* w) { key(w, '\t', GLUT_ACTIVE_SHIFT); }
};

// --- Hit testing ---

using HitTest = Input;

TEST_F(HitTest, AllFourEdgesCountAsInside) {
    Probe* a = addProbe(root);
    addProbe(root);
    const int right = a->x + a->width, bottom = a->y + a->height;
    struct Case {
        int x, y;
        Control* expected;
    } cases[] = {
        {a->x, a->y, a},          {right, a->y, a},
        {a->x, bottom, a},        {right, bottom, a},
        {a->x - 1, a->y, root},   {right + 1, a->y, root},
        {a->x, bottom + 1, root}, {root->width + 1, 0, nullptr},
        {-1, -1, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(window->findControlAt(c.x, c.y), c.expected) << c.x << ", " << c.y;
}

// The first sibling that contains the point is searched and never left again, even when its
// children miss the point and a later sibling would hit it. Enabled and hidden don't matter.
TEST_F(HitTest, DescendsIntoFirstContainingSiblingOnly) {
    Panel* panel = window->addPanel(root, "", BORDER_NONE);
    Probe* inner = addProbe(panel);
    Probe* later = addProbe(root);
    panel->x = 0, panel->y = 0, panel->width = 50, panel->height = 50;
    inner->x = 60, inner->y = 60, inner->width = 5, inner->height = 5;
    later->x = 40, later->y = 40, later->width = 30, later->height = 30;
    later->enabled = 0;
    later->hidden = 1;
    EXPECT_EQ(window->findControlAt(45, 45), panel);
    EXPECT_EQ(window->findControlAt(55, 55), later);
    EXPECT_EQ(window->findControlAt(10, 10), panel);
}

// --- Tab order ---

class TabOrder : public Input {
protected:
    void SetUp() override {
        Input::SetUp();
        window->addLabel(root, "legend");
        a = window->addButton(root, "A", 0, nullptr);
        Panel* panel = window->addPanel(root, "group", BORDER_ETCHED);
        b = window->addCheckbox(panel, "B", nullptr, 0, nullptr);
        window->addSeparator(panel);
        window->addButton(panel, "C", 0, nullptr)->disable();
        RadioGroup* group = window->addRadioGroup(panel, nullptr, 0, nullptr);
        r0 = window->addRadioButton(group, "r0");
        r1 = window->addRadioButton(group, "r1");
        d = window->addButton(root, "D", 0, nullptr);
        settle();
    }
    int activeCount(Control* c) {
        int n = c->active;
        for (Control* k = c->firstChildControl(); k != nullptr; k = k->nextSiblingControl())
            n += activeCount(k);
        return n;
    }
    void walk(void (*step)(ControlWindow*), const std::vector<Control*>& expected) {
        for (size_t i = 0; i < expected.size(); ++i) {
            step(window);
            EXPECT_EQ(window->activeControl, expected[i]) << "step " << i;
            EXPECT_EQ(activeCount(root), expected[i] != nullptr ? 1 : 0) << "step " << i;
        }
    }
    Control *a = nullptr, *b = nullptr, *r0 = nullptr, *r1 = nullptr, *d = nullptr;
};

TEST_F(TabOrder, TabWalksFocusableControlsInPreOrderWithoutWrapping) {
    walk(tab, {a, b, r0, r1, d, nullptr, a});
}

TEST_F(TabOrder, ShiftTabWalksBackwardsWithoutWrapping) {
    walk(shiftTab, {d, r1, r0, b, a, nullptr, d});
}

using NoFocusable = Input;

TEST_F(NoFocusable, TabAndShiftTabFocusNothing) {
    window->addLabel(root, "only a label");
    window->addSeparator(root);
    shiftTab(window);
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(root->active, 0);
    tab(window);
    EXPECT_EQ(window->activeControl, nullptr);
}

// --- Mouse and keys to the focused control ---

class Dispatch : public Input {
protected:
    void SetUp() override {
        Input::SetUp();
        p = addProbe(root);
        q = addProbe(root);
        settle();
    }
    Probe *p = nullptr, *q = nullptr;
};

TEST_F(Dispatch, DragsAndReleaseGoToPressedControl) {
    press(window, midX(p), midY(p));
    EXPECT_EQ(window->activeControl, p);
    EXPECT_EQ(window->mouseButtonHeld, 1);
    drag(window, midX(p), midY(p));
    drag(window, midX(q), midY(q));
    release(window, midX(q), midY(q));
    EXPECT_EQ(p->log, "down held1 held0 up0 ");
    EXPECT_EQ(q->log, "");
    EXPECT_EQ(window->mouseButtonHeld, 0);
    EXPECT_EQ(window->activeControl, p);
}

TEST_F(Dispatch, KeysWhileHeldGoToFocusedControl) {
    press(window, midX(p), midY(p));
    tab(window);
    key(window, ' ');
    EXPECT_EQ(window->activeControl, p);
    release(window, midX(p), midY(p));
    EXPECT_EQ(p->log, "down key9 key32 up1 ");
}

TEST_F(Dispatch, SpaceClicksOnlyWhenSpaceClicksIsOne) {
    tab(window);
    ASSERT_EQ(window->activeControl, p);
    key(window, ' ');
    p->spaceClicks = 0;
    key(window, ' ');
    key(window, 'a');
    EXPECT_EQ(p->log, "down up1 key32 key97 ");
}

TEST_F(Dispatch, OtherButtonsChangeNeitherFocusNorHeld) {
    click(p);
    p->log.clear();
    for (int button : {GLUT_MIDDLE_BUTTON, GLUT_RIGHT_BUTTON}) {
        mouse(window, button, GLUT_DOWN, midX(q), midY(q));
        EXPECT_EQ(window->mouseButtonHeld, 0);
        mouse(window, button, GLUT_UP, midX(q), midY(q));
    }
    EXPECT_EQ(window->activeControl, p);
    EXPECT_EQ(p->log + q->log, "");
}

TEST_F(Dispatch, PressOnControlThatCannotTakeFocusReachesOnlyItsMouseDown) {
    q->canActivate = 0;
    click(p);
    press(window, midX(q), midY(q));
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(p->active, 0);
    drag(window, midX(q), midY(q) + 1);
    release(window, midX(q), midY(q));
    EXPECT_EQ(q->log, "down ");
}

TEST_F(Dispatch, PressOnDisabledControlOrBackgroundOnlyTakesFocus) {
    q->enabled = 0;
    for (auto at : {std::make_pair(midX(q), midY(q)), std::make_pair(1, 1)}) {
        click(p);
        press(window, at.first, at.second);
        EXPECT_EQ(window->activeControl, nullptr);
        EXPECT_EQ(p->active, 0);
        release(window, at.first, at.second);
        EXPECT_EQ(window->mouseButtonHeld, 0);
    }
    EXPECT_EQ(q->log, "");
}

// --- Focus across windows ---

class TwoWindows : public Input {
protected:
    void SetUp() override {
        Input::SetUp();
        other = openWindow(240, 0);
        a = window->addCheckbox(window->root, "in A", &valueA, 1, recordCallback);
        b = other->addCheckbox(other->root, "in B", &valueB, 2, recordCallback);
        settle();
    }
    int frameDots(Checkbox* c) {
        int width = bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, c->name);
        return dotsOnLine(c->window, c->x + 15, c->x + 22 + width, c->y);
    }
    ControlWindow* other = nullptr;
    Checkbox *a = nullptr, *b = nullptr;
    int valueA = 0, valueB = 0;
};

TEST_F(TwoWindows, ClickInOtherWindowTakesFocusAndWipesFrame) {
    click(a);
    EXPECT_GT(frameDots(a), 0);
    click(b);
    EXPECT_EQ(a->active, 0);
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(frameDots(a), 0);
    EXPECT_GT(frameDots(b), 0);
    EXPECT_EQ(windowManager.activeWindow, other);
}

// Tab clears the focus of its own window first, which forgets the window that had the focus;
// the focus must still leave the first window.
TEST_F(TwoWindows, TabInOtherWindowTakesFocus) {
    click(a);
    tab(other);
    EXPECT_EQ(other->activeControl, b);
    EXPECT_EQ(a->active, 0);
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(frameDots(a), 0);
}

// A press whose control loses the focus ends as a release outside it.
TEST_F(TwoWindows, FocusTakenDuringPressCancelsIt) {
    press(window, midX(a), midY(a));
    EXPECT_EQ(a->intValue, 1);
    tab(other);
    EXPECT_EQ(a->intValue, 0);
    EXPECT_EQ(pixel(window, a->x + 6, a->y + 6), WHITE);
    release(window, midX(a), midY(a));
    EXPECT_EQ(window->mouseButtonHeld, 0);
    EXPECT_EQ(valueA, 0);
    EXPECT_TRUE(callbacks.empty());
}

// --- Events from the X server, through GLUT's own dispatch ---

using ServerEvents = TwoWindows;

TEST_F(ServerEvents, TabKeyAndClickReachControls) {
    glutSetWindow(window->windowId);
    Display* display = glXGetCurrentDisplay();
    Window target = glXGetCurrentDrawable();
    auto send = [&](int type, unsigned code, unsigned state, long mask) {
        XEvent event{};
        XKeyEvent& e = event.xkey; // key and button events share this layout
        e.type = type;
        e.display = display;
        e.window = target;
        e.root = DefaultRootWindow(display);
        e.x = midX(a);
        e.y = midY(a);
        e.state = state;
        e.keycode = code;
        e.same_screen = True;
        XSendEvent(display, target, True, mask, &event);
        XFlush(display);
    };
    // The sent events are in GLUT's queue once the server has answered a round trip.
    auto pumpSyncedUntil = [&](const std::function<bool()>& done) {
        return pumpUntil([&] {
            XSync(display, False);
            return done();
        });
    };
    send(KeyPress, XKeysymToKeycode(display, XK_Tab), 0, KeyPressMask);
    EXPECT_TRUE(pumpSyncedUntil([&] { return window->activeControl == a; }));
    send(ButtonPress, Button1, 0, ButtonPressMask);
    send(ButtonRelease, Button1, Button1Mask, ButtonReleaseMask);
    EXPECT_TRUE(pumpSyncedUntil([&] { return valueA == 1; }));
    ASSERT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(callbacks[0].currentWindow, mainWindow);
}

// --- Random events ---

// Every control kind in one window, a second window, and a few thousand random events: after
// each one the focus is unique, bound variables hold legal values and change, with callbacks,
// only where a click can complete.
class RandomEvents : public Input {
protected:
    struct Bound {
        Control* control;
        int* variable;
        int low, high;
    };
    void SetUp() override {
        Input::SetUp();
        ControlWindow* w = window;
        w->addLabel(root, "legend");
        RadioGroup* one = w->addRadioGroup(root, &radioOne, 11, recordCallback);
        w->addRadioButton(one, "one a");
        w->addRadioButton(one, "one b");
        w->addSeparator(root);
        Checkbox* checkOne = w->addCheckbox(root, "bound", &check[0], 21, recordCallback);
        w->addCheckbox(root, "unbound", nullptr, 22, recordCallback);
        Panel* nested = w->addPanel(root, "nested", BORDER_ETCHED);
        RadioGroup* two = w->addRadioGroup(nested, &radioTwo, 12, recordCallback);
        for (const char* label : {"two a", "two b", "two c"})
            w->addRadioButton(two, label);
        Checkbox* checkTwo = w->addCheckbox(nested, "bound too", &check[1], 23, recordCallback);
        w->addButton(nested, "inner", 31, recordCallback);
        w->addLabel(nested, "inner legend");
        w->addSeparator(root);
        w->addButton(root, "outer", 32, recordCallback);
        Checkbox* off = w->addCheckbox(root, "disabled", &check[2], 24, recordCallback);
        off->disable();
        other = openWindow(240, 0);
        Checkbox* checkB = other->addCheckbox(other->root, "b", &check[3], 25, recordCallback);
        other->addButton(other->root, "b button", 33, recordCallback);
        RadioGroup* three = other->addRadioGroup(other->root, &radioThree, 13, recordCallback);
        other->addRadioButton(three, "three a");
        other->addRadioButton(three, "three b");
        settle();
        bound = {{one, &radioOne, -1, 1},     {two, &radioTwo, -1, 2},
                 {three, &radioThree, -1, 1}, {checkOne, &check[0], 0, 1},
                 {checkTwo, &check[1], 0, 1}, {off, &check[2], 0, 1},
                 {checkB, &check[3], 0, 1}};
    }
    void collectAll(Control* c, std::vector<Control*>& out) {
        out.push_back(c);
        for (Control* k = c->firstChildControl(); k != nullptr; k = k->nextSiblingControl())
            collectAll(k, out);
    }
    void collectActive(Control* c, std::vector<Control*>& out) {
        if (c->active != 0)
            out.push_back(c);
        for (Control* k = c->firstChildControl(); k != nullptr; k = k->nextSiblingControl())
            collectActive(k, out);
    }
    void checkInvariants(bool mayCommit, const std::vector<int>& before, size_t callbacksBefore) {
        std::vector<Control*> active;
        for (ControlWindow* w : {window, other}) {
            collectActive(w->root, active);
            if (w->activeControl != nullptr) {
                ASSERT_EQ(w->activeControl->active, 1);
            }
        }
        ASSERT_LE(active.size(), 1u);
        if (!active.empty()) {
            ASSERT_EQ(active[0]->window->activeControl, active[0]);
        }
        ASSERT_FALSE(window->activeControl != nullptr && other->activeControl != nullptr);
        const bool idle = window->mouseButtonHeld == 0 && other->mouseButtonHeld == 0;
        for (size_t i = 0; i < bound.size(); ++i) {
            const Bound& v = bound[i];
            ASSERT_GE(*v.variable, v.low);
            ASSERT_LE(*v.variable, v.high);
            if (!mayCommit) {
                ASSERT_EQ(*v.variable, before[i]);
            }
            // Between presses every bound control shows what its variable holds.
            if (idle) {
                ASSERT_EQ(v.control->intValue, *v.variable) << "bound " << i;
            }
        }
        ASSERT_EQ(check[2], 1);
        if (!mayCommit) {
            ASSERT_EQ(callbacks.size(), callbacksBefore);
        }
        for (const CallbackRecord& r : callbacks)
            ASSERT_EQ(r.currentWindow, mainWindow);
    }

    ControlWindow* other = nullptr;
    int radioOne = -1, radioTwo = 2, radioThree = 0;
    int check[4] = {0, 1, 1, 0};
    std::vector<Bound> bound;
};

TEST_F(RandomEvents, InvariantsHoldAfterEveryEvent) {
    std::mt19937 random(20240611);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const unsigned char otherKeys[] = {'a', '\r', 27, '0'};
    for (int event = 0; event < 5000; ++event) {
        ControlWindow* w = pick(0, 3) == 0 ? other : window;
        int x = pick(-4, w->root->width + 4), y = pick(-4, w->root->height + 4);
        if (pick(0, 1) == 0) {
            // Half of the events aim at a control, so that many clicks complete.
            std::vector<Control*> all;
            collectAll(w->root, all);
            const Control* c = all[static_cast<size_t>(pick(0, static_cast<int>(all.size()) - 1))];
            x = c->x + pick(0, c->width);
            y = c->y + pick(0, c->height);
        }
        const int kind = pick(0, 9), button = pick(0, 5) < 4 ? 0 : pick(1, 2);
        bool mayCommit = false;
        std::vector<int> before;
        for (const Bound& v : bound)
            before.push_back(*v.variable);
        const size_t callbacksBefore = callbacks.size();
        SCOPED_TRACE("event " + std::to_string(event) + " kind " + std::to_string(kind));
        if (kind <= 1) {
            mouse(w, button, GLUT_DOWN, x, y);
        } else if (kind <= 3) {
            mayCommit = button == 0 && w->mouseButtonHeld == 1 && w->activeControl != nullptr &&
                        w->findControlAt(x, y) == w->activeControl;
            mouse(w, button, GLUT_UP, x, y);
        } else if (kind <= 5) {
            drag(w, x, y);
        } else if (kind == 6) {
            glutSetWindow(w->windowId);
            onPassiveMotion(x, y);
        } else if (kind == 7) {
            key(w, '\t', pick(0, 1) == 1 ? GLUT_ACTIVE_SHIFT : 0);
        } else if (kind == 8) {
            mayCommit = w->mouseButtonHeld == 0 && w->activeControl != nullptr;
            key(w, ' ');
        } else {
            key(w, otherKeys[pick(0, 3)]);
        }
        checkInvariants(mayCommit, before, callbacksBefore);
        if (HasFatalFailure())
            return;
    }
    // The run is not vacuous: many clicks completed.
    EXPECT_GT(callbacks.size(), 50u);
}

} // namespace
