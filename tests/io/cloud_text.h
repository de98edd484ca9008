// tests/io/cloud_text.h - a generated native cloud, for the load tests and the viewer's start-up
// test.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

// A shell of points with colours that change along it; 24 numbers a line of varied length.
inline std::string cloudText(int count) {
    std::string text = "# points = " + std::to_string(count) + "\n";
    char line[160];
    for (int i = 0; i < count; ++i) {
        const double a = i * 0.0137, b = i * 0.000731;
        std::snprintf(line, sizeof line, "%.3f %.2f %.4f %.3f %.3f %.3f\n",
                      100 * std::cos(a) * std::sin(b), 100 * std::sin(a) * std::sin(b),
                      100 * std::cos(b), 0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(b),
                      (i % 1000) / 1000.0);
        text += line;
    }
    return text;
}
