// tests/core/control_tree_test.cpp - tree links, attaching, enable/disable order, destruction.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/window_manager.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string events;

// Logs its draws (with its focus and enabled flags), deactivations and destruction.
class Probe : public Control {
public:
    explicit Probe(char tag) : tag(tag) {}
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

// Tags of the children, first to last; the backward walk must agree.
std::string chain(const ControlNode& parent, const ControlNode* base = nullptr) {
    auto tag = [&](const ControlNode* n) {
        return base != nullptr ? char('a' + (n - base)) : static_cast<const Probe*>(n)->tag;
    };
    std::string forward, backward;
    for (const ControlNode* n = parent.firstChild; n != nullptr; n = n->nextSibling)
        forward += tag(n);
    for (const ControlNode* n = parent.lastChild; n != nullptr; n = n->previousSibling)
        backward.insert(backward.begin(), tag(n));
    return forward == backward ? forward : forward + "|" + backward;
}

} // namespace

TEST(ControlLinks, UnlinkKeepsTheRestInOrderAndForgetsAllLinks) {
    const struct {
        int removed;
        const char* left;
    } cases[] = {{0, "bc"}, {1, "ac"}, {2, "ab"}};
    for (const auto& c : cases) {
        ControlNode parent, nodes[4];
        for (int i = 0; i < 3; ++i)
            linkAsLastChild(&nodes[i], &parent);
        linkAsLastChild(&nodes[3], &nodes[c.removed]);
        ASSERT_EQ(chain(parent, nodes), "abc");
        ASSERT_EQ(nodes[1].parent, &parent);
        unlink(&nodes[c.removed]);
        EXPECT_EQ(chain(parent, nodes), c.left);
        const ControlNode& gone = nodes[c.removed];
        EXPECT_TRUE(gone.parent == nullptr && gone.firstChild == nullptr &&
                    gone.lastChild == nullptr && gone.nextSibling == nullptr &&
                    gone.previousSibling == nullptr);
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
    std::string longText(400, 'x');
    probe.setName(longText.c_str());
    EXPECT_EQ(strlen(probe.name), 299u);
    probe.setName(probe.name + 290);
    EXPECT_STREQ(probe.name, "xxxxxxxxx");
    probe.setName(nullptr);
    EXPECT_STREQ(probe.name, "");
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

TEST_F(ControlTree, AttachTakesEnabledFromParentAndHidesUnderHiddenParent) {
    Probe* on = attach(nullptr, 'a');
    on->enabled = 0;
    Probe* under = attach(on, 'b');
    EXPECT_EQ(under->enabled, 0);
    on->enabled = 1;
    on->hidden = 1;
    Probe* hidden = attach(on, 'c');
    EXPECT_EQ(hidden->enabled, 1);
    EXPECT_EQ(hidden->hidden, 1);
    EXPECT_EQ(hidden->window, window);
    EXPECT_EQ(chain(*on), "bc");
}

TEST_F(ControlTree, AttachUnderCollapsedParentParksTheControl) {
    Probe* folder = attach(nullptr, 'f');
    folder->collapsible = 1;
    folder->open = 0;
    Probe* first = attach(folder, 'a');
    attach(folder, 'b');
    EXPECT_EQ(folder->firstChild, nullptr);
    EXPECT_EQ(folder->lastChild, nullptr);
    EXPECT_EQ(chain(folder->collapsedChildren), "ab");
    EXPECT_EQ(first->parent, folder);
    EXPECT_EQ(first->hidden, 1);
}

TEST_F(ControlTree, DisableClearsFocusBeforeRedrawAndVisitsParentsFirst) {
    Probe* box = attach(nullptr, 'p');
    Probe* focused = attach(box, 'a');
    attach(attach(box, 'b'), 'c');
    ASSERT_TRUE(show(window));
    window->setActiveControl(focused, ACTIVATE_BY_MOUSE);
    ASSERT_EQ(windowManager.activeWindow, window);
    events.clear();
    box->disable();
    EXPECT_EQ(events, " draw p-D off a draw a-D draw a-D draw b-D draw c-D");
    EXPECT_EQ(window->activeControl, nullptr);
    EXPECT_EQ(windowManager.activeWindow, nullptr);
    events.clear();
    box->enable();
    EXPECT_EQ(events, " draw p-E draw a-E draw b-E draw c-E");
}

TEST_F(ControlTree, EnableWithoutWindowChangesOnlyTheControl) {
    Probe parent('p');
    Probe* child = new Probe('c');
    linkAsLastChild(child, &parent);
    parent.disable();
    EXPECT_EQ(parent.enabled, 0);
    EXPECT_EQ(child->enabled, 1);
    parent.enabled = 0;
    child->enabled = 0;
    parent.enable();
    EXPECT_EQ(child->enabled, 0);
    EXPECT_EQ(events, "");
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
