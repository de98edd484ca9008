// viewer/overlays.cpp - the help box and the status line, drawn in window pixels.
#include "viewer/overlays.h"

#include "controls/core/control.h"
#include "viewer/key_table.h"
#include "viewer/overlay_style.h"
#include "viewer/remote_cloud.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// The toolkit's controls write in this font.
void* const FONT = GLUT_BITMAP_HELVETICA_12;
constexpr int LINE_HEIGHT = 15;
constexpr int MARGIN = 6;
constexpr int KEY_COLUMN = 78;

// clang-format off
const char* const mouseLines[][2] = {
    {"left drag", "move (TRANSLATE) or turn (ROTATE)"},
    {"right drag", "move nearer / turn about z"},
    {"wheel", "zoom towards the pointer"},
    {"double-click", "turn about the point there, show what it holds"},
};
// clang-format on

// The help's lines, a heading where the second is null: the mouse, then the key table.
std::vector<std::pair<const char*, const char*>> helpLines() {
    std::vector<std::pair<const char*, const char*>> lines = {{"Mouse", nullptr}};
    for (const auto& line : mouseLines)
        lines.emplace_back(line[0], line[1]);
    lines.emplace_back("Keys", nullptr);
    for (int i = 0; i < keyBindingCount; ++i)
        lines.emplace_back(keyBindings[i].name, keyBindings[i].help);
    return lines;
}

// In window pixels with the origin at the top left, y down, as the toolkit draws.
void text(int x, int baseline, const char* s) {
    glRasterPos2i(x, baseline);
    drawBitmapText(FONT, s);
}

void drawHelp() {
    const std::vector<std::pair<const char*, const char*>> lines = helpLines();
    const int count = static_cast<int>(lines.size());
    int width = 0;
    for (const auto& [name, what] : lines)
        width = std::max(width, what ? KEY_COLUMN + bitmapTextWidth(FONT, what)
                                     : bitmapTextWidth(FONT, name));
    boxColour();
    fillRectangle(MARGIN, MARGIN, MARGIN * 3 + width, MARGIN * 3 + count * LINE_HEIGHT);
    textColour();
    for (int i = 0; i < count; ++i) {
        const int baseline = MARGIN * 2 + (i + 1) * LINE_HEIGHT - 4;
        const auto& [name, what] = lines[size_t(i)];
        text(MARGIN * 2, baseline, name);
        if (what)
            text(MARGIN * 2 + KEY_COLUMN, baseline, what);
    }
}

void drawStatus(int width, int height) {
    const std::vector<std::string> lines = statusLines(width - 2 * MARGIN);
    const int count = static_cast<int>(lines.size());
    boxColour();
    fillRectangle(0, height - count * LINE_HEIGHT - 4, width, height);
    textColour();
    for (int i = 0; i < count; ++i)
        text(MARGIN, height - 6 - (count - 1 - i) * LINE_HEIGHT, lines[size_t(i)].c_str());
}

// The colours as drawn: with the file's mode, a file without colours shows what stands in.
const char* drawnColoursName() {
    const ColourMode mode = viewer.displaySettings.colourMode;
    if (mode == ColourMode::File && viewer.pointSet.colour == ColourKind::Intensity)
        return "intensity";
    if (mode == ColourMode::File && viewer.pointSet.colour == ColourKind::None)
        return "height";
    return colourModeName(mode);
}

// text cut at the end, with "...", to fit width; as much as fits of "..." when nothing else does.
std::string shortened(const std::string& text, int width) {
    if (bitmapTextWidth(FONT, text.c_str()) <= width)
        return text;
    std::string cut = text;
    while (!cut.empty() && bitmapTextWidth(FONT, (cut + "...").c_str()) > width)
        cut.pop_back();
    cut += "...";
    while (!cut.empty() && bitmapTextWidth(FONT, cut.c_str()) > width)
        cut.pop_back();
    return cut;
}

} // namespace

std::vector<std::string> statusParts() {
    const PointSet& set = viewer.pointSet;
    // A streamed file's set holds no records: its count is the one the file declares; a
    // scene's streamed files count theirs beside the records read whole.
    const int64_t points = viewer.copcLod    ? viewer.copcLod->declaredPoints()
                           : viewer.sceneLod ? set.count + viewer.sceneLod->declaredPoints()
                                             : set.count;
    std::vector<std::string> parts = {std::to_string(points) + " points",
                                      "size " + std::to_string(viewer.displaySettings.pointSize),
                                      std::string("colours ") + drawnColoursName(),
                                      std::string("pan ") + panModeName(viewer.viewState.panMode)};
    // A scene of several files says so first, and the file of the point a double-click marked.
    if (!set.files.empty())
        parts.insert(parts.begin(), set.sceneName());
    if (viewer.query.marked && !viewer.query.file.empty())
        parts.push_back("point from " + viewer.query.file);
    if (viewer.viewState.pivotPicked) {
        // Digits to about a millionth of the cloud's size, whatever its scale.
        double extent = 0.0;
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(
                extent, std::abs(static_cast<double>(set.farCorner[axis]) - set.nearCorner[axis]));
        const int decimals =
            extent > 0.0 ? std::clamp(6 - static_cast<int>(std::floor(std::log10(extent))), 0, 12)
                         : 6;
        char pivot[160];
        std::snprintf(pivot, sizeof pivot, "pivot %.*f %.*f %.*f", decimals,
                      viewer.viewState.pivot[0] + set.shift[0], decimals,
                      viewer.viewState.pivot[1] + set.shift[1], decimals,
                      viewer.viewState.pivot[2] + set.shift[2]);
        parts.push_back(pivot);
    }
    const std::string fetching = fetchingStatus();
    if (!fetching.empty())
        parts.push_back(fetching);
    return parts;
}

std::string statusText() {
    std::string line;
    for (const std::string& part : statusParts())
        line += (line.empty() ? "" : "  ") + part;
    return line;
}

std::vector<std::string> statusLines(int width) {
    std::vector<std::string> lines;
    for (const std::string& part : statusParts()) {
        const std::string longer = lines.empty() ? part : lines.back() + "  " + part;
        if (!lines.empty() && bitmapTextWidth(FONT, longer.c_str()) <= width)
            lines.back() = longer;
        else
            lines.push_back(shortened(part, width));
    }
    return lines;
}

void drawOverlays(int width, int height) {
    if (!viewer.displaySettings.showHelp && !viewer.displaySettings.showStatus)
        return;
    const WindowPixels pixels(width, height);
    if (viewer.displaySettings.showHelp)
        drawHelp();
    if (viewer.displaySettings.showStatus)
        drawStatus(width, height);
}
