// tests/core/layout_test.cpp - packing into columns and aligning in them, with exact numbers.
#include "tests/windows/toolkit_fixture.h"

#include "controls/core/column.h"

namespace {

// A container or leaf of a given size whose updateSize does nothing.
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

// pack at (0, 0), then align in pre-order, as a window's packControls does.
void alignAll(Control* c) {
    c->align();
    for (Control* k = c->firstChildControl(); k != nullptr; k = k->nextSiblingControl())
        alignAll(k);
}
void layOut(Control* root) {
    root->pack(0, 0);
    alignAll(root);
}

struct Rect {
    int x, y, w, h;
};
#define EXPECT_RECT(c, X, Y, W, H)                                                                 \
    EXPECT_EQ((Rect{(c)->x, (c)->y, (c)->width, (c)->height}), (Rect{X, Y, W, H}))
bool operator==(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}
std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << r.x << "," << r.y << " " << r.w << "x" << r.h;
}

} // namespace

TEST(Layout, StacksChildrenWithGapsAndFitsContainer) {
    Control* box = node(nullptr, 0, 0, 1);
    Control* a = node(box, 100, 13);
    Control* b = node(box, 100, 13);
    layOut(box);
    EXPECT_RECT(a, 6, 6, 100, 13);
    EXPECT_RECT(b, 6, 22, 100, 13);
    EXPECT_RECT(box, 0, 0, 118, 41);
    delete box;
}

TEST(Layout, NestedPanelGetsThreePixelsAboveAndBelow) {
    Control* box = node(nullptr, 0, 0, 1);
    Control* leaf = node(box, 100, 13);
    Panel* panel = new Panel;
    linkAsLastChild(panel, box);
    Control* inner = node(panel, 100, 13);
    box->pack(0, 0);
    EXPECT_RECT(leaf, 6, 6, 100, 13);
    EXPECT_RECT(panel, 6, 25, 118, 25);
    EXPECT_RECT(inner, 12, 31, 100, 13);
    EXPECT_RECT(box, 0, 0, 136, 59);
    alignAll(box); // a panel is centred, and its children follow it
    EXPECT_EQ(panel->x, (136 - 118) / 2);
    EXPECT_EQ(inner->x, panel->x + 6);
    delete box;
}

TEST(Layout, EmptyContainerAndLeafSizes) {
    Control* box = node(nullptr, 7, 7, 1);
    box->pack(0, 0);
    EXPECT_RECT(box, 0, 0, 100, 13);
    Control* leaf = node(nullptr, 33, 44);
    leaf->pack(5, 9);
    EXPECT_RECT(leaf, 5, 9, 33, 44);
    delete box;
    delete leaf;
}

TEST(Layout, ColumnStartsNewColumnAtSameTop) {
    Control* box = node(nullptr, 0, 0, 1);
    node(box, 80, 13);
    node(box, 100, 13);
    Control* column = columnIn(box);
    Control* right = node(box, 50, 13);
    Control* rightBelow = node(box, 30, 13);
    rightBelow->alignment = ALIGN_RIGHT;
    layOut(box);
    EXPECT_EQ(column->x, 112);
    EXPECT_RECT(right, 118, 6, 50, 13);
    EXPECT_EQ(column->width, 56); // widest child of its column + margin
    EXPECT_RECT(box, 0, 0, 174, 41);
    EXPECT_EQ(column->height, 41 - 12);
    EXPECT_EQ(rightBelow->x, 112 + 56 - 30 - 6);
    delete box;

    Control* lone = node(nullptr, 0, 0, 1);
    node(lone, 100, 13);
    Control* last = columnIn(lone);
    lone->pack(0, 0);
    EXPECT_RECT(last, 112, 6, 2, 13);
    EXPECT_EQ(lone->width, 124); // the trailing empty column adds its margins only
    delete lone;
}

TEST(Layout, AlignmentInAColumnWithoutBreaks) {
    const struct {
        int alignment, x;
    } cases[] = {{ALIGN_LEFT, 6}, {ALIGN_RIGHT, 118 - 40 - 6}, {ALIGN_CENTER, 39}, {7, 6}};
    for (const auto& c : cases) {
        Control* box = node(nullptr, 0, 0, 1);
        node(box, 100, 13);
        Control* narrow = node(box, 40, 13);
        narrow->alignment = c.alignment;
        layOut(box);
        EXPECT_EQ(narrow->x, c.x) << "alignment " << c.alignment;
        delete box;
    }
}

TEST(Layout, CentringTruncatesTowardZeroAndRootStays) {
    Control* parent = node(nullptr, 50, 13, 1);
    parent->x = 10;
    Control* wide = node(parent, 53, 13);
    wide->alignment = ALIGN_CENTER;
    wide->align();
    EXPECT_EQ(wide->x, 9); // 10 + (-3 / 2), not 10 + floor(-1.5)
    parent->x = 25;
    parent->align();
    EXPECT_EQ(parent->x, 25);
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
    layOut(box);
    const int shift = inner->x - 6;
    EXPECT_EQ(inner->x, box->width - inner->width - 6);
    EXPECT_EQ(column->x, 6 + 6 + 20 + 6 + shift);
    EXPECT_EQ(after->x, column->x + 6);
    int left = -1, width = -1, margin = -1;
    box->columnBounds(&left, &width, &margin); // no parent: untouched
    EXPECT_TRUE(left == -1 && width == -1 && margin == -1);
    delete box;
}
