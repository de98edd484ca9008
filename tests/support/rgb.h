// tests/support/rgb.h - a colour as the tests read it back from a window or a screenshot.
#pragma once

#include <cstdlib>
#include <ostream>

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

// Within one step per channel: OpenGL turns 0.5 into 127 or 128, glColor3b(0) into 1.
inline bool nearColour(const Rgb& a, const Rgb& b) {
    return std::abs(a.red - b.red) <= 1 && std::abs(a.green - b.green) <= 1 &&
           std::abs(a.blue - b.blue) <= 1;
}

inline constexpr Rgb BLACK{0, 0, 0}, WHITE{255, 255, 255}, RED{255, 0, 0}, GREEN{0, 255, 0},
    BLUE{0, 0, 255}, YELLOW{255, 255, 0};
