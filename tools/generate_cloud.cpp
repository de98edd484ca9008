// tools/generate_cloud.cpp - writes a ringed planet of any number of points in the point file
// format: a banded, shaded sphere inside tilted rings with gaps. The output depends only on
// the count, so the shipped sample and benchmark clouds can be regenerated exactly.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>

namespace {

struct Point {
    double x, y, z;
    double r, g, b;
};

constexpr double PI = 3.14159265358979323846;
constexpr double PLANET_RADIUS = 100.0;
constexpr double PLANET_SHARE = 0.4;

// mt19937's sequence is fixed by the standard; the distributions are not, so the conversion to
// [0, 1) is done here.
class Random {
public:
    double uniform() { return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0); }
    double between(double low, double high) { return low + (high - low) * uniform(); }

private:
    std::mt19937 engine_{20261208u};
};

double clamp01(double value) {
    return std::min(1.0, std::max(0.0, value));
}

// How densely each radius (in planet radii) of the rings is populated: a faint inner ring, a
// dense middle one, a wide gap, an outer ring with a narrow gap of its own.
double ringDensity(double radius) {
    if (radius < 1.25 || radius > 2.3)
        return 0.0;
    if (radius < 1.52)
        return 0.25;
    if (radius < 1.95)
        return 1.0;
    if (radius < 2.03)
        return 0.0;
    if (radius > 2.19 && radius < 2.21)
        return 0.0;
    return 0.65;
}

Point planetPoint(Random& random) {
    const double height = random.between(-1.0, 1.0);
    const double around = random.between(0.0, 2.0 * PI);
    const double ring = std::sqrt(1.0 - height * height);
    Point p{ring * std::cos(around), height, ring * std::sin(around), 0, 0, 0};

    // Bands by latitude, wavy so they don't look ruled, between a brown and a cream.
    const double latitude = std::asin(height);
    const double band = 0.5 + 0.5 * std::sin(latitude * 9.0 + 0.6 * std::sin(latitude * 23.0));
    const double tint = random.between(-0.04, 0.04);
    p.r = 0.85 + 0.15 * band + tint;
    p.g = 0.50 + 0.42 * band + tint;
    p.b = 0.22 + 0.50 * band + tint;
    p.x *= PLANET_RADIUS;
    p.y *= PLANET_RADIUS;
    p.z *= PLANET_RADIUS;
    return p;
}

Point ringPoint(Random& random) {
    double radius = 0.0;
    do {
        radius = random.between(1.25, 2.3);
    } while (random.uniform() >= ringDensity(radius));
    const double around = random.between(0.0, 2.0 * PI);
    const double shade = 0.75 + 0.25 * std::sin(radius * 40.0) * std::sin(radius * 7.0) +
                         random.between(-0.05, 0.05);
    const double x = radius * PLANET_RADIUS * std::cos(around);
    const double z = radius * PLANET_RADIUS * std::sin(around);
    return Point{x, random.between(-0.6, 0.6), z, shade * 0.95, shade * 0.85, shade * 0.70};
}

// Tilts the system towards the viewer (looking along -z from above the ring plane) and
// slants it; planet points are shaded by a light from the upper left front.
void place(Point& p, bool onPlanet) {
    const double tilt = 25.0 * PI / 180.0;
    const double slant = -15.0 * PI / 180.0;
    const double y = p.y * std::cos(tilt) - p.z * std::sin(tilt);
    const double z = p.y * std::sin(tilt) + p.z * std::cos(tilt);
    const double x = p.x * std::cos(slant) - y * std::sin(slant);
    p.y = p.x * std::sin(slant) + y * std::cos(slant);
    p.x = x;
    p.z = z;
    if (onPlanet) {
        const double light = (-0.45 * p.x + 0.55 * p.y + 0.70 * p.z) / PLANET_RADIUS;
        const double brightness = 0.35 + 0.75 * std::max(0.0, light);
        p.r *= brightness;
        p.g *= brightness;
        p.b *= brightness;
    }
    p.r = clamp01(p.r);
    p.g = clamp01(p.g);
    p.b = clamp01(p.b);
}

bool parseCount(const char* text, int64_t& count) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > INT32_MAX)
        return false;
    count = value;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int64_t count = 0;
    if (argc < 2 || argc > 3 || !parseCount(argv[1], count)) {
        std::fprintf(stderr, "usage: generate-cloud COUNT [OUTPUT]\n");
        return 1;
    }
    std::unique_ptr<Point[]> points(new (std::nothrow) Point[static_cast<size_t>(count)]);
    if (!points) {
        std::fprintf(stderr, "generate-cloud: not enough memory for %lld points\n",
                     static_cast<long long>(count));
        return 1;
    }

    Random random;
    const int64_t planetCount = static_cast<int64_t>(static_cast<double>(count) * PLANET_SHARE);
    for (int64_t i = 0; i < count; ++i) {
        const bool onPlanet = i < planetCount;
        points[i] = onPlanet ? planetPoint(random) : ringPoint(random);
        place(points[i], onPlanet);
    }
    // The viewer has no depth buffer and later points cover earlier ones: writing the farthest
    // first makes the initial view (looking along -z) occlude correctly.
    std::stable_sort(points.get(), points.get() + count,
                     [](const Point& a, const Point& b) { return a.z < b.z; });

    FILE* out = argc == 3 ? std::fopen(argv[2], "w") : stdout;
    if (!out) {
        std::fprintf(stderr, "generate-cloud: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "# points = %lld\n", static_cast<long long>(count));
    for (int64_t i = 0; i < count; ++i) {
        const Point& p = points[i];
        std::fprintf(out, "%.2f %.2f %.2f %.3f %.3f %.3f\n", p.x, p.y, p.z, p.r, p.g, p.b);
    }
    // A full disk or a closed pipe must not pass for a complete file.
    const bool failed = std::ferror(out) != 0;
    if ((out == stdout ? std::fflush(out) : std::fclose(out)) != 0 || failed) {
        std::fprintf(stderr, "generate-cloud: write failed\n");
        return 1;
    }
    return 0;
}
