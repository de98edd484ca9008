// viewer/point_marks.cpp - the marked point's cross and box, the measured polyline.
#include "viewer/point_marks.h"

#include "controls/core/drawing.h"
#include "viewer/level_of_detail.h"
#include "viewer/overlay_style.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

void* const FONT = GLUT_BITMAP_HELVETICA_12;
constexpr int LINE_HEIGHT = 15;
constexpr int PADDING = 4;
constexpr int CROSS_ARM = 7;
constexpr int CROSS_GAP = 3;
// The box starts this far right of and below the cross, clear of its arms.
constexpr int BOX_OFFSET = CROSS_ARM + 4;

// Magenta is no class colour, ramp or grey, so the marks stand out in every colour mode.
void markColour() {
    glColor3f(1.0f, 0.0f, 1.0f);
}

// A scene point in clip coordinates.
std::array<double, 4> toClip(const double clip[16], const double p[3]) {
    std::array<double, 4> out{};
    for (int row = 0; row < 4; ++row)
        out[size_t(row)] =
            clip[row] * p[0] + clip[4 + row] * p[1] + clip[8 + row] * p[2] + clip[12 + row];
    return out;
}

// Clip coordinates to window pixels with the origin top left, y down, as the overlays draw.
std::array<double, 2> toWindow(const View& view, const std::array<double, 4>& c) {
    const double x = c[0] / c[3], y = c[1] / c[3];
    return {view.viewport[0] + (x + 1.0) * 0.5 * view.viewport[2],
            view.viewport[3] - (view.viewport[1] + (y + 1.0) * 0.5 * view.viewport[3])};
}

// How far in front of the near plane a clip point is (negative behind it).
double nearSide(const std::array<double, 4>& c) {
    return c[2] + c[3];
}

// Where a scene point lands on the window; none behind the near plane.
std::optional<std::array<double, 2>> onWindow(const View& view, const double p[3]) {
    double clip[16];
    view.combined(clip);
    const std::array<double, 4> c = toClip(clip, p);
    if (nearSide(c) <= 0.0 || c[3] <= 0.0)
        return std::nullopt;
    return toWindow(view, c);
}

// A file position (shift added back) in the records' scene coordinates.
void toScene(const std::array<double, 3>& file, double scene[3]) {
    for (int axis = 0; axis < 3; ++axis)
        scene[axis] = file[size_t(axis)] - viewer.pointSet.shift[axis];
}

int decimals() {
    return coordinateDecimals(viewer.pointSet);
}

void drawBox(int left, int top, const std::vector<std::string>& lines, int width, int height) {
    int textWidth = 0;
    for (const std::string& line : lines)
        textWidth = std::max(textWidth, bitmapTextWidth(FONT, line.c_str()));
    const int boxWidth = textWidth + 2 * PADDING;
    const int boxHeight = static_cast<int>(lines.size()) * LINE_HEIGHT + 2 * PADDING;
    // Kept on the window: to the left of the cross or above it where the right or the bottom
    // has no room.
    if (left + boxWidth > width)
        left = std::max(0, left - boxWidth - 2 * BOX_OFFSET);
    if (top + boxHeight > height)
        top = std::max(0, top - boxHeight - 2 * BOX_OFFSET);
    boxColour();
    fillRectangle(left, top, left + boxWidth, top + boxHeight);
    markColour();
    outlineRectangle(left, top, left + boxWidth - 1, top + boxHeight - 1);
    textColour();
    for (size_t i = 0; i < lines.size(); ++i) {
        glRasterPos2i(left + PADDING, top + PADDING + int(i + 1) * LINE_HEIGHT - 4);
        drawBitmapText(FONT, lines[i].c_str());
    }
}

// Open in the middle, so the point itself still shows in its own colour.
void drawCross(double x, double y) {
    markColour();
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (int side : {-1, 1}) {
        glVertex2d(x + side * CROSS_GAP, y);
        glVertex2d(x + side * CROSS_ARM, y);
        glVertex2d(x, y + side * CROSS_GAP);
        glVertex2d(x, y + side * CROSS_ARM);
    }
    glEnd();
    glLineWidth(1.0f);
}

// Each segment as far as it lies before the near plane, its length written at its middle.
void drawPolyline(const View& view) {
    const std::vector<std::array<double, 3>>& vertices = viewer.measurement.vertices();
    double clip[16];
    view.combined(clip);
    for (size_t i = 0; i + 1 < vertices.size(); ++i) {
        double a[3], b[3];
        toScene(vertices[i], a);
        toScene(vertices[i + 1], b);
        std::array<double, 4> ca = toClip(clip, a), cb = toClip(clip, b);
        const double da = nearSide(ca), db = nearSide(cb);
        if (da <= 0.0 && db <= 0.0)
            continue;
        // The part behind the near plane would project through infinity.
        if (da <= 0.0 || db <= 0.0) {
            const double t = da / (da - db);
            std::array<double, 4> cut;
            for (size_t k = 0; k < 4; ++k)
                cut[k] = ca[k] + t * (cb[k] - ca[k]);
            (da <= 0.0 ? ca : cb) = cut;
        }
        const std::array<double, 2> wa = toWindow(view, ca), wb = toWindow(view, cb);
        markColour();
        glLineWidth(2.0f);
        glBegin(GL_LINES);
        glVertex2d(wa[0], wa[1]);
        glVertex2d(wb[0], wb[1]);
        glEnd();
        glLineWidth(1.0f);
        const std::string length = decimalText(viewer.measurement.segment(i).length, decimals());
        const int textWidth = bitmapTextWidth(FONT, length.c_str());
        const int x = static_cast<int>(std::lround((wa[0] + wb[0]) / 2)) - textWidth / 2;
        const int y = static_cast<int>(std::lround((wa[1] + wb[1]) / 2));
        boxColour();
        fillRectangle(x - 2, y - LINE_HEIGHT + 2, x + textWidth + 2, y + 3);
        textColour();
        glRasterPos2i(x, y - 1);
        drawBitmapText(FONT, length.c_str());
    }
}

// The first record at exactly position (the picked point's own copy), -1 when none is.
int64_t recordAt(const PointCloud& cloud, const float position[3]) {
    for (int64_t i = 0; i < cloud.count; ++i) {
        const PointRecord& r = cloud.points[i];
        if (r.x == position[0] && r.y == position[1] && r.z == position[2])
            return i;
    }
    return -1;
}

} // namespace

void markDoubleClick(const DoubleClick& click) {
    if (!click.happened)
        return;
    if (!click.picked) {
        clearMark();
        return;
    }
    // Picking gives a position among the points drawn; the attributes need its record, which
    // the point set has, or a streamed file's node (not an octree's sample while it is built).
    const PointSet& set = viewer.pointSet;
    const int64_t record = &drawnCloud() == &set ? recordAt(set, click.position) : -1;
    if (record >= 0)
        viewer.query = queryPoint(set, record);
    else if (!queryStreamedPoint(click.position, viewer.query))
        viewer.query = queryPosition(set, click.position);
    if (viewer.measurement.active()) {
        double position[3];
        fileCoordinates(set, click.position, position);
        viewer.measurement.add(position);
    }
}

void clearMark() {
    viewer.query = PointQuery{};
}

void toggleMeasurement(FILE* out) {
    Measurement& measurement = viewer.measurement;
    if (!measurement.active()) {
        measurement.start();
        return;
    }
    std::fprintf(out, "%s\n", measurement.summary(decimals()).c_str());
    std::fflush(out);
    measurement.end();
}

std::vector<std::string> measurementLines() {
    const Measurement& measurement = viewer.measurement;
    if (measurement.vertices().size() < 2)
        return {};
    const SegmentLength last = measurement.lastSegment();
    const int places = decimals();
    return {"segment " + decimalText(last.length, places),
            "  horizontal " + decimalText(last.horizontal, places),
            "  vertical " + decimalText(last.vertical, places),
            "total " + decimalText(measurement.length(), places)};
}

void drawPointMarks(const View& view, int width, int height) {
    const bool measuring = viewer.measurement.active();
    if (!viewer.query.marked && !measuring)
        return;
    const WindowPixels pixels(width, height);

    if (measuring) {
        drawPolyline(view);
        const char* hint = "measuring: double-click points, m to end";
        const int hintWidth = bitmapTextWidth(FONT, hint) + 2 * PADDING;
        boxColour();
        fillRectangle(width - hintWidth, 0, width, LINE_HEIGHT + PADDING);
        textColour();
        glRasterPos2i(width - hintWidth + PADDING, LINE_HEIGHT);
        drawBitmapText(FONT, hint);
    }
    // The box sits beside the marked point, else beside the measurement's last vertex.
    std::vector<std::string> lines =
        viewer.query.marked ? viewer.query.lines : std::vector<std::string>{};
    if (measuring)
        for (const std::string& line : measurementLines())
            lines.push_back(line);
    std::optional<std::array<double, 2>> at;
    if (viewer.query.marked) {
        at = onWindow(view, viewer.query.position);
    } else if (!viewer.measurement.vertices().empty()) {
        double last[3];
        toScene(viewer.measurement.vertices().back(), last);
        at = onWindow(view, last);
    }
    // Off the window the mark and its box would be cut off or pressed against an edge.
    if (at && ((*at)[0] < 0 || (*at)[1] < 0 || (*at)[0] >= width || (*at)[1] >= height))
        at.reset();
    if (at && viewer.query.marked)
        drawCross((*at)[0], (*at)[1]);
    if (at && !lines.empty())
        drawBox(static_cast<int>((*at)[0]) + BOX_OFFSET, static_cast<int>((*at)[1]) + BOX_OFFSET,
                lines, width, height);
}
