// tests/controls/core/layout_test.cpp - packing into columns and aligning in them, with exact
// numbers.
#include "tests/controls/toolkit_fixture.h"

#include "controls/core/column.h"

#include <array>

namespace {

// A leaf, or with container set a container, whose updateSize does nothing.
Control* node(Control* parent, int w, int h, int container = 0) {
    Control* c = new Swatch(w, h, BLACK);
    c->isContainer = container;
    if (parent != nullptr)
        linkAsLastChild(c, parent);
    return c;
}

Control* columnIn(Control* parent) {
    Column* column = new Column;
    linkAsLastChild(column, parent);
    return column;
}

// Aligns in pre-order, as a window's packControls does after packing.
void alignAll(Control* c) {
    c->align();
    for (Control* k = c->firstChildControl(); k != nullptr; k = k->nextSiblingControl())
        alignAll(k);
}

std::array<int, 4> rect(const Control* c) {
    return {c->x, c->y, c->width, c->height};
}

} // namespace

TEST(Layout, StacksChildrenWithGapsAndFitsContainer) {
    Control* box = node(nullptr, 0, 0, 1);
    Control* a = node(box, 100, 13);
    Control* b = node(box, 100, 13);
    box->pack(0, 0);
    EXPECT_EQ(rect(a), (std::array{6, 6, 100, 13}));
    EXPECT_EQ(rect(b), (std::array{6, 22, 100, 13}));
    EXPECT_EQ(rect(box), (std::array{0, 0, 118, 41}));
    Control* empty = node(b, 7, 7, 1); // a leaf's size stays; an empty container's is 100 x 13
    box->pack(0, 0);
    EXPECT_EQ(rect(b), (std::array{6, 22, 100, 13}));
    EXPECT_EQ(rect(empty), (std::array{12, 28, 100, 13}));
    delete box;
}

TEST(Layout, NestedPanelGetsThreePixelsAboveAndBelow) {
    Control* box = node(nullptr, 0, 0, 1);
    Control* leaf = node(box, 100, 13);
    Panel* panel = new Panel;
    linkAsLastChild(panel, box);
    Control* inner = node(panel, 100, 13);
    box->pack(0, 0);
    EXPECT_EQ(rect(leaf), (std::array{6, 6, 100, 13}));
    EXPECT_EQ(rect(panel), (std::array{6, 25, 118, 25}));
    EXPECT_EQ(rect(inner), (std::array{12, 31, 100, 13}));
    EXPECT_EQ(rect(box), (std::array{0, 0, 136, 59}));
    alignAll(box); // a panel is centred, and its children follow it
    EXPECT_EQ(panel->x, (136 - 118) / 2);
    EXPECT_EQ(inner->x, panel->x + 6);
    delete box;
}

TEST(Layout, ColumnStartsNewColumnAtSameTop) {
    Control* box = node(nullptr, 0, 0, 1);
    node(box, 80, 13);
    node(box, 100, 13);
    Control* column = columnIn(box);
    Control* right = node(box, 50, 13);
    Control* rightAligned = node(box, 30, 13);
    rightAligned->alignment = ALIGN_RIGHT;
    box->pack(0, 0);
    alignAll(box);
    EXPECT_EQ(rect(column), (std::array{112, 6, 56, 41 - 12})); // widest in it + margin
    EXPECT_EQ(rect(right), (std::array{118, 6, 50, 13}));
    EXPECT_EQ(rect(box), (std::array{0, 0, 174, 41}));
    EXPECT_EQ(rightAligned->x, 112 + 56 - 30 - 6);
    delete box;

    Control* lone = node(nullptr, 0, 0, 1);
    node(lone, 100, 13);
    Control* last = columnIn(lone);
    lone->pack(0, 0);
    EXPECT_EQ(rect(last), (std::array{112, 6, 2, 13}));
    delete lone;
}

TEST(Layout, AlignsLeftRightAndCentreInItsColumn) {
    const int cases[][2] = {
        {ALIGN_LEFT, 6}, {ALIGN_RIGHT, 118 - 40 - 6}, {ALIGN_CENTER, 39}, {7, 6}};
    for (auto [alignment, x] : cases) {
        Control* box = node(nullptr, 0, 0, 1);
        node(box, 100, 13);
        Control* narrow = node(box, 40, 13);
        narrow->alignment = alignment;
        box->pack(0, 0);
        alignAll(box);
        EXPECT_EQ(narrow->x, x) << "alignment " << alignment;
        delete box;
    }
    Control* parent = node(nullptr, 50, 13, 1);
    parent->x = 10;
    Control* wide = node(parent, 53, 13);
    wide->alignment = ALIGN_CENTER;
    alignAll(parent); // the root stays; the child goes to 10 + (-3 / 2), truncated
    EXPECT_EQ(parent->x, 10);
    EXPECT_EQ(wide->x, 9);
    delete parent;
}

TEST(Layout, ContainerCarriesItsColumnsWhenAligned) {
    Control* box = node(nullptr, 0, 0, 1);
    node(box, 300, 13);
    Control* inner = node(box, 0, 0, 1);
    inner->alignment = ALIGN_RIGHT;
    node(inner, 20, 13);
    Control* column = columnIn(inner);
    Control* after = node(inner, 20, 13);
    box->pack(0, 0);
    alignAll(box);
    EXPECT_EQ(inner->x, 318 - 64 - 6);
    EXPECT_EQ(column->x, 38 + inner->x - 6);
    EXPECT_EQ(after->x, column->x + 6);
    int left = -1, width = -1, margin = -1;
    box->columnBounds(&left, &width, &margin); // no parent: untouched
    EXPECT_TRUE(left == -1 && width == -1 && margin == -1);
    delete box;
}
