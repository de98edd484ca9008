// viewer/legend.cpp - the legend's content by colour mode, and its drawing in window pixels.
#include "viewer/legend.h"

#include "controls/core/drawing.h"
#include "io/classification.h"
#include "viewer/attribute_colours.h"
#include "viewer/overlay_style.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

void* const FONT = GLUT_BITMAP_HELVETICA_12;

// Digits to about a thousandth of the span between the values, whatever their scale.
std::string fileValue(double value, double span) {
    const int decimals =
        span > 0.0 ? std::clamp(3 - static_cast<int>(std::floor(std::log10(span))), 0, 9) : 3;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

Legend classLegend() {
    Legend legend;
    legend.title = "classification";
    const PointVisibility& visibility = viewer.pointSet.visibility;
    // A streamed file's counts are those of the points the last frame drew; in a scene, the
    // records held count beside them, without the streamed files' estimates.
    int64_t streamed[256] = {};
    for (CopcLod* lod : streamedFiles()) {
        int64_t part[256];
        lod->drawnClassCounts(part);
        for (int code = 0; code < 256; ++code)
            streamed[code] += part[code];
    }
    for (int code = 0; code < 256; ++code) {
        int64_t drawn = streamed[code];
        if (!viewer.copcLod && visibility.classShown[code] != 0)
            drawn += visibility.classCounts()[code] - visibility.estimatedCounts()[code] -
                     (visibility.withheldShown ? 0
                                               : visibility.withheldCounts()[code] -
                                                     visibility.estimatedWithheld()[code]);
        if (drawn <= 0)
            continue;
        Legend::Row row;
        classColour(code, row.rgb);
        row.text = std::to_string(code) + " " + className(code);
        row.count = std::to_string(drawn);
        legend.rows.push_back(row);
    }
    return legend;
}

Legend returnLegend() {
    Legend legend;
    legend.title = "return";
    for (int kind = 0; kind < kReturnKinds; ++kind) {
        Legend::Row row;
        returnColour(static_cast<ReturnKind>(kind), row.rgb);
        row.text = returnKindName(static_cast<ReturnKind>(kind));
        legend.rows.push_back(row);
    }
    return legend;
}

void text(int x, int baseline, const std::string& s) {
    glRasterPos2i(x, baseline);
    drawBitmapText(FONT, s.c_str());
}

// The ramp of the mode from bottom to top, left..right wide, bottom..top high.
void drawBar(ColourMode mode, int left, int top, int right, int bottom) {
    const int stops = mode == ColourMode::Height ? 5 : 2;
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i < stops; ++i) {
        const double t = double(i) / (stops - 1);
        unsigned char rgb[3];
        if (mode == ColourMode::Height)
            heightColour(t, rgb);
        else
            rgb[0] = rgb[1] = rgb[2] = static_cast<unsigned char>(std::lround(t * 255.0));
        glColor3ub(rgb[0], rgb[1], rgb[2]);
        const int y = static_cast<int>(std::lround(bottom - t * (bottom - top)));
        glVertex2i(left, y);
        glVertex2i(right, y);
    }
    glEnd();
}

void drawBox(const Legend& legend, int width) {
    // The widths of the text and count columns set the box's.
    int textWidth = bitmapTextWidth(FONT, legend.title.c_str()), countWidth = 0;
    for (const Legend::Row& row : legend.rows) {
        textWidth = std::max(textWidth, kSwatchWidth + kLegendPadding +
                                            bitmapTextWidth(FONT, row.text.c_str()));
        countWidth = std::max(countWidth, bitmapTextWidth(FONT, row.count.c_str()));
    }
    if (legend.bar)
        textWidth = std::max(textWidth, kBarWidth + kLegendPadding +
                                            std::max(bitmapTextWidth(FONT, legend.low.c_str()),
                                                     bitmapTextWidth(FONT, legend.high.c_str())));
    const int inner = textWidth + (countWidth > 0 ? kLegendPadding * 2 + countWidth : 0);
    const int lines = 1 + static_cast<int>(legend.rows.size());
    const int boxHeight =
        kLegendPadding * 2 + lines * kLegendLine + (legend.bar ? kBarHeight + kLegendPadding : 0);
    const int right = width - kLegendMargin, left = right - inner - kLegendPadding * 2;
    const int top = kLegendMargin;
    boxColour();
    fillRectangle(left, top, right, top + boxHeight);

    const int x = left + kLegendPadding;
    textColour();
    text(x, top + kLegendPadding + kLegendLine - 4, legend.title);
    for (size_t i = 0; i < legend.rows.size(); ++i) {
        const Legend::Row& row = legend.rows[i];
        const int rowTop = top + kLegendPadding + int(i + 1) * kLegendLine;
        glColor3ub(row.rgb[0], row.rgb[1], row.rgb[2]);
        fillRectangle(x, rowTop + 2, x + kSwatchWidth, rowTop + 2 + kSwatchHeight);
        textColour();
        text(x + kSwatchWidth + kLegendPadding, rowTop + kLegendLine - 4, row.text);
        if (!row.count.empty())
            text(right - kLegendPadding - bitmapTextWidth(FONT, row.count.c_str()),
                 rowTop + kLegendLine - 4, row.count);
    }
    if (legend.bar) {
        const int barTop = top + kLegendPadding + kLegendLine + kLegendPadding;
        drawBar(viewer.displaySettings.colourMode, x, barTop, x + kBarWidth, barTop + kBarHeight);
        textColour();
        text(x + kBarWidth + kLegendPadding, barTop + 10, legend.high);
        text(x + kBarWidth + kLegendPadding, barTop + kBarHeight, legend.low);
    }
}

} // namespace

Legend currentLegend() {
    const PointSet& set = viewer.pointSet;
    Legend legend;
    switch (viewer.displaySettings.colourMode) {
        case ColourMode::File:
            legend.title = "the file's colours";
            break;
        case ColourMode::Grey:
            legend.title = "grey of the file's colours";
            break;
        case ColourMode::Height: {
            legend.title = "height";
            legend.bar = true;
            const RampSpan span = viewer.pointColours.heightSpanOf(set);
            const double bottom = double(span.low) + set.shift[2];
            const double top = double(span.high) + set.shift[2];
            legend.low = fileValue(bottom, top - bottom);
            legend.high = fileValue(top, top - bottom);
            break;
        }
        case ColourMode::Intensity: {
            legend.title = "intensity";
            legend.bar = true;
            const IntensityRange range = viewer.pointColours.intensityRangeOf(set);
            legend.low = std::to_string(range.low);
            legend.high = std::to_string(range.high);
            break;
        }
        case ColourMode::Classification:
            legend = classLegend();
            break;
        case ColourMode::Return:
            legend = returnLegend();
            break;
    }
    return legend;
}

void drawLegend(int width, int height) {
    const Legend legend = currentLegend();
    const WindowPixels pixels(width, height);
    drawBox(legend, width);
}
