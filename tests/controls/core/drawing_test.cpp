// tests/controls/core/drawing_test.cpp - what the drawing primitives put on the screen, read back
// from the front buffer of a real control window.
#include "tests/controls/toolkit_fixture.h"

#include <GL/freeglut.h>

#include <functional>
#include <set>
#include <string>
#include <utility>

namespace {

// Paints its rectangle blue, then runs one primitive on top, in its own coordinates.
class Canvas : public Swatch {
public:
    explicit Canvas(std::function<void(Canvas&)> p) : Swatch(40, 20, BLUE), paint(std::move(p)) {}
    void draw(int a, int b) override {
        Swatch::draw(a, b);
        paint(*this);
    }
    std::function<void(Canvas&)> paint;
};

using Pixels = std::set<std::pair<int, int>>;

Pixels matching(const std::vector<std::vector<Rgb>>& rows, Rgb colour) {
    Pixels found;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
            if (nearColour(rows[y][x], colour))
                found.insert({x, y});
    return found;
}

// Rows of a picture, top first; "9*ROW" repeats a row.
std::vector<std::string> picture(std::initializer_list<std::string> rows) {
    std::vector<std::string> out;
    for (const std::string& row : rows) {
        const size_t star = row.find('*');
        const int count = star == std::string::npos ? 1 : std::stoi(row.substr(0, star));
        out.insert(out.end(), count, star == std::string::npos ? row : row.substr(star + 1));
    }
    return out;
}

Rgb letterColour(char letter) {
    const int grey = std::string("KDGLW").find(letter) * 64;
    return Rgb{std::min(grey, 255), std::min(grey, 255), std::min(grey, 255)};
}

} // namespace

class Drawing : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = makeWindow();
    }
    Canvas* canvas(std::function<void(Canvas&)> paint) {
        Canvas* c = new Canvas(std::move(paint));
        window->attachControl(window->root, c);
        return c;
    }
    ControlWindow* window = nullptr;
};

TEST_F(Drawing, CaptionHasOnePixelShadowRightAndBelow) {
    Canvas* c = canvas([](Canvas& self) { self.drawName(3, 12); });
    c->setName("Hi");
    ASSERT_TRUE(show(window));
    const struct {
        int enabled;
        Rgb text, shadow;
    } cases[] = {{1, BLACK, BACKGROUND}, {0, Rgb{102, 102, 102}, WHITE}};
    for (const auto& k : cases) {
        c->enabled = k.enabled;
        c->redraw();
        const auto rows = readRect(window, c->x, c->y, c->width, c->height);
        const Pixels text = matching(rows, k.text);
        Pixels expectedShadow;
        for (auto [x, y] : text)
            if (text.count({x + 1, y + 1}) == 0)
                expectedShadow.insert({x + 1, y + 1});
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(matching(rows, k.shadow), expectedShadow) << "enabled " << k.enabled;
        EXPECT_EQ(text.size() + expectedShadow.size() + matching(rows, BLUE).size(),
                  static_cast<size_t>(c->width * c->height));
        EXPECT_GE(text.begin()->first, 3); // leftmost column
        int lowest = 0;
        for (auto [x, y] : text)
            lowest = std::max(lowest, y);
        EXPECT_EQ(lowest, 12); // the baseline
    }
}

TEST_F(Drawing, RaisedBoxIsLightAboveLeftAndDarkBelowRight) {
    Canvas* c = canvas([](Canvas& self) { self.window->drawRaisedBox(0, 0, 20, 10); });
    ASSERT_TRUE(show(window));
    const auto rows = readRect(window, c->x, c->y, 21, 11);
    const struct {
        int x, y;
        Rgb colour;
    } probes[] = {{10, 0, WHITE},      {0, 5, WHITE},      {20, 5, BLACK},
                  {10, 10, BLACK},     {19, 5, GREY},      {10, 9, GREY},
                  {10, 1, BACKGROUND}, {1, 5, BACKGROUND}, {10, 5, BLUE}};
    for (const auto& p : probes)
        EXPECT_TRUE(nearColour(rows[p.y][p.x], p.colour))
            << p.x << "," << p.y << " is " << rows[p.y][p.x];
}

TEST_F(Drawing, StandardImagesMatchTheirTablesRightWayUp) {
    const struct {
        int id;
        std::vector<std::string> rows;
    } images[] = {
        {0, picture({"GGGGGGGGGGGGW", "GKKKKKKKKKKLW", "9*GKWWWWWWWWWLW", "GLLLLLLLLLLLW",
                     "WWWWWWWWWWWWW"})},
        {1, picture({"GGGGGGGGGGGGW", "GKKKKKKKKKKLW", "GKWWWWWWWWWLW", "GKWWWWWWWKWLW",
                     "GKWWWWWWKKWLW", "GKWKWWWKKKWLW", "GKWKKWKKKWWLW", "GKWKKKKKWWWLW",
                     "GKWWKKKWWWWLW", "GKWWWKWWWWWLW", "GKWWWWWWWWWLW", "GLLLLLLLLLLLW",
                     "WWWWWWWWWWWWW"})},
        {2, picture({"LLLLLLLLLLLLLL", "LLLLLGGGGLLLLL", "LLLGGKKKKGGLLL", "LLGKKWWWWKKWLL",
                     "LLGKWWWWWWLWLL", "4*LGKWWWWWWWWLWL", "LLGKWWWWWWLWLL", "LLGLLWWWWLLWLL",
                     "LLLWWLLLLWWLLL", "LLLLLWWWWLLLLL", "LLLLLLLLLLLLLL"})},
        {3, picture({"LLLLLLLLLLLLLL", "LLLLLGGGGLLLLL", "LLLGGKKKKGGLLL", "LLGKKWWWWKKWLL",
                     "LLGKWWWWWWLWLL", "LGKWWWKKWWWLWL", "2*LGKWWKKKKWWLWL", "LGKWWWKKWWWLWL",
                     "LLGKWWWWWWLWLL", "LLGLLWWWWLLWLL", "LLLWWLLLLWWLLL", "LLLLLWWWWLLLLL",
                     "LLLLLLLLLLLLLL"})},
        {12, picture({"GGGGGGGGGGGGW", "GDDDDDDDDDDLW", "9*GDLLLLLLLLLLW", "GLLLLLLLLLLLW",
                      "WWWWWWWWWWWWW"})},
        {13, picture({"GGGGGGGGGGGGW", "GDDDDDDDDDDLW", "GDLLLLLLLLLLW", "GDLLLLLLLDLLW",
                      "GDLLLLLLDDLLW", "GDLDLLLDDDLLW", "GDLDDLDDDLLLW", "GDLDDDDDLLLLW",
                      "GDLLDDDLLLLLW", "GDLLLDLLLLLLW", "GDLLLLLLLLLLW", "GLLLLLLLLLLLW",
                      "WWWWWWWWWWWWW"})},
        {14, picture({"LLLLLLLLLLLLLL", "LLLLLGGGGLLLLL", "LLLGGDDDDGGLLL", "LLGDDLLLLDDWLL",
                      "LLGDLLLLLLLWLL", "4*LGDLLLLLLLLLWL", "LLGDLLLLLLLWLL", "LLGLLLLLLLLWLL",
                      "LLLWWLLLLWWLLL", "LLLLLWWWWLLLLL", "LLLLLLLLLLLLLL"})},
        {15, picture({"LLLLLLLLLLLLLL", "LLLLLGGGGLLLLL", "LLLGGDDDDGGLLL", "LLGDDLLLLDDWLL",
                      "LLGDLLLLLLLWLL", "LGDLLLDDLLLLWL", "2*LGDLLDDDDLLLWL", "LGDLLLDDLLLLWL",
                      "LLGDLLLLLLLWLL", "LLGLLLLLLLLWLL", "LLLWWLLLLWWLLL", "LLLLLWWWWLLLLL",
                      "LLLLLLLLLLLLLL"})},
    };
    int id = 0;
    Canvas* c = canvas([&id](Canvas& self) { self.window->drawBitmap(id, 0, 0); });
    ASSERT_TRUE(show(window));
    for (const auto& image : images) {
        id = image.id;
        c->redraw();
        const int h = static_cast<int>(image.rows.size());
        const int w = static_cast<int>(image.rows[0].size());
        ASSERT_EQ(window->bitmaps[id].width, w);
        ASSERT_EQ(window->bitmaps[id].height, h);
        // One pixel of the blue canvas around the image shows it is not shifted.
        const auto rows = readRect(window, c->x, c->y, w + 1, h + 1);
        for (int y = 0; y <= h; ++y)
            for (int x = 0; x <= w; ++x) {
                const Rgb want = (x == w || y == h) ? BLUE : letterColour(image.rows[y][x]);
                ASSERT_EQ(rows[y][x], want) << "image " << id << " at " << x << "," << y;
            }
    }
}

TEST_F(Drawing, HiddenSubtreeIsSkipped) {
    Panel* hiddenPanel = window->addPanel("", BORDER_NONE);
    hiddenPanel->hidden = 1;
    Swatch* inside = addSwatch(window, hiddenPanel, 30, 10);
    Swatch* visible = addSwatch(window, nullptr, 30, 10);
    ASSERT_TRUE(show(window));
    EXPECT_EQ(inside->hidden, 1);
    EXPECT_EQ(inside->draws, 0);
    EXPECT_EQ(pixel(window, inside->x + 5, inside->y + 5), BACKGROUND);
    EXPECT_GT(visible->draws, 0);
    EXPECT_EQ(pixel(window, visible->x + 5, visible->y + 5), RED);
}

TEST_F(Drawing, RedrawPaintsOneControlInPlaceAndKeepsCurrentWindow) {
    Swatch* a = addSwatch(window, nullptr, 30, 10, RED);
    Swatch* b = addSwatch(window, nullptr, 30, 10, Rgb{0, 255, 0});
    ASSERT_TRUE(show(window));
    const int bDraws = b->draws;
    a->colour = BLUE;
    b->colour = WHITE;
    glutSetWindow(mainWindow);
    a->redraw();
    EXPECT_EQ(glutGetWindow(), mainWindow);
    EXPECT_EQ(b->draws, bDraws);
    const auto rows = readRect(window, 0, 0, window->contentWidth, window->contentHeight);
    EXPECT_EQ(matching(rows, BLUE).size(), 300u);
    EXPECT_EQ(*matching(rows, BLUE).begin(), std::make_pair(a->x, a->y));
    EXPECT_EQ(matching(rows, Rgb{0, 255, 0}).size(), 300u);
}
