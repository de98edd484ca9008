// tests/controls/core/control_tree_test.cpp - tree links, attaching, enable/disable order,
// destruction.
#include "tests/controls/toolkit_fixture.h"

#include "controls/windows/window_manager.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string events;

// Logs its draws (with its focus and enabled flags), deactivations and destruction.
class Probe : public Control {
public:
    explicit Probe(char t) : tag(t) {}
    ~Probe() override { events += std::string("~") + tag; }
    void draw(int, int) override {
        events += std::string(" draw ") + tag + (active ? "+" : "-") + (enabled ? "E" : "D");
    }
    void deactivate() override {
        Control::deactivate();
        events += std::string(" off ") + tag;
    }
    char tag;
};

// Letters of the children first to last, checked against the walk from the last.
std::string chain(const ControlNode& parent, const ControlNode* base) {
    std::string forward, backward;
    for (const ControlNode* n = parent.firstChild; n != nullptr; n = n->nextSibling)
        forward += char('a' + (n - base));
    for (const ControlNode* n = parent.lastChild; n != nullptr; n = n->previousSibling)
        backward.insert(backward.begin(), char('a' + (n - base)));
    return forward == backward ? forward : forward + "|" + backward;
}

} // namespace

TEST(ControlLinks, UnlinkKeepsTheRestInOrderAndForgetsAllLinks) {
    for (auto [removed, left] : {std::pair{0, "bc"}, {1, "ac"}, {2, "ab"}}) {
        ControlNode parent, nodes[4];
        for (int i = 0; i < 3; ++i)
            linkAsLastChild(&nodes[i], &parent);
        linkAsLastChild(&nodes[3], &nodes[removed]);
        ASSERT_EQ(chain(parent, nodes), "abc");
        unlink(&nodes[removed]);
        EXPECT_EQ(chain(parent, nodes), left);
        const ControlNode& gone = nodes[removed];
        EXPECT_TRUE(!gone.parent && !gone.firstChild && !gone.lastChild && !gone.nextSibling &&
                    !gone.previousSibling);
    }
    ControlNode parent, only;
    linkAsLastChild(&only, &parent);
    unlink(&only);
    EXPECT_TRUE(parent.firstChild == nullptr && parent.lastChild == nullptr);
}

TEST(ControlText, LongTextKeeps299BytesAndDefaultCaptionShowsAddress) {
    Probe probe('p');
    char expected[40];
    snprintf(expected, sizeof expected, "Control: %p", static_cast<void*>(&probe));
    EXPECT_STREQ(probe.name, expected);
    probe.setName(std::string(400, 'x').c_str());
    EXPECT_EQ(strlen(probe.name), 299u);
    probe.setName(probe.name + 290); // its own text
    EXPECT_STREQ(probe.name, "xxxxxxxxx");
}

class ControlTree : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = makeWindow();
        events.clear();
    }
    Probe* attach(Control* parent, char tag) {
        Probe* probe = new Probe(tag);
        window->attachControl(parent != nullptr ? parent : window->root, probe);
        return probe;
    }
    ControlWindow* window = nullptr;
};

TEST_F(ControlTree, AttachTakesParentsEnabledAndHidesUnderHiddenOrCollapsedParent) {
    Probe* parent = attach(nullptr, 'p');
    parent->enabled = 0;
    EXPECT_EQ(attach(parent, 'a')->enabled, 0);
    parent->enabled = 1;
    parent->hidden = 1;
    Probe* hidden = attach(parent, 'b');
    EXPECT_TRUE(hidden->enabled == 1 && hidden->hidden == 1 && hidden->window == window);

    Probe* folder = attach(nullptr, 'f');
    folder->collapsible = 1;
    folder->open = 0;
    Probe* first = attach(folder, 'c');
    Probe* second = attach(folder, 'd');
    EXPECT_TRUE(folder->firstChild == nullptr && folder->lastChild == nullptr);
    EXPECT_EQ(folder->collapsedChildren.firstChild, first);
    EXPECT_EQ(first->nextSibling, second);
    EXPECT_EQ(folder->collapsedChildren.lastChild, second);
    EXPECT_TRUE(first->parent == folder && first->hidden == 1);
}

TEST_F(ControlTree, DisableClearsFocusBeforeRedrawAndVisitsParentsFirst) {
    Probe* box = attach(nullptr, 'p');
    Probe* focused = attach(box, 'a');
    attach(attach(box, 'b'), 'c');
    ASSERT_TRUE(show(window));
    window->setActiveControl(focused, ACTIVATE_BY_MOUSE);
    events.clear();
    box->disable();
    EXPECT_EQ(events, " draw p-D off a draw a-D draw a-D draw b-D draw c-D");
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(windowManager.activeWindow, nullptr);
    events.clear();
    box->enable();
    EXPECT_EQ(events, " draw p-E draw a-E draw b-E draw c-E");

    Probe* loose = new Probe('l'); // without a window only the control's own flag changes
    Probe* child = new Probe('k');
    linkAsLastChild(child, loose);
    loose->disable();
    EXPECT_TRUE(loose->enabled == 0 && child->enabled == 1);
    events.clear();
    delete loose;
    EXPECT_EQ(events, "~l~k");
}

TEST_F(ControlTree, DestroyFreesEveryDescendantIncludingParkedOnes) {
    Probe* root = new Probe('r');
    Probe* a = new Probe('a');
    linkAsLastChild(a, root);
    linkAsLastChild(new Probe('b'), a);
    linkAsLastChild(new Probe('c'), root);
    linkAsLastChild(new Probe('d'), &root->collapsedChildren);
    delete root;
    EXPECT_EQ(events, "~r~a~b~c~d");
}
