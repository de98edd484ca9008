// viewer/frame.cpp - composing a frame: background, axes, points, overlays.
#include "viewer/frame.h"

#include "viewer/camera.h"
#include "viewer/display_settings.h"
#include "viewer/overlays.h"
#include "viewer/point_colours.h"
#include "viewer/point_set.h"

#include <GL/freeglut.h>

#include <cstdio>

int32_t showAxis = 0;

namespace {

void drawUnderPoints() {
    float background[3];
    backgroundColour(displaySettings.background, background);
    glClearColor(background[0], background[1], background[2], 0.0f);
    // Without a depth buffer later drawing covers earlier: the points cover the axes.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (showAxis)
        pointSet.drawAxes();
}

void drawOverPoints() {
    drawOverlays(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
}

// The file's colours are in the records; the others come from their own array.
PointSource pointsToDraw() {
    PointSource source = recordSource(pointSet.points, pointSet.count);
    if (displaySettings.colourMode == ColourMode::File)
        return source;
    const unsigned char* colours = pointColours.colours(pointSet, displaySettings.colourMode);
    if (colours == nullptr) {
        std::fprintf(stderr, "pointillist: not enough memory for the %s colours\n",
                     colourModeName(displaySettings.colourMode));
        displaySettings.colourMode = ColourMode::File;
        return source;
    }
    source.colours = colours;
    source.colourType = PointSource::ByteRgb;
    source.colourStride = 3;
    return source;
}

} // namespace

FrameContent frameContent() {
    FrameContent content;
    content.view = viewOf(viewState, pointSet);
    content.points = pointsToDraw();
    content.pointSize = static_cast<float>(displaySettings.pointSize);
    content.drawUnder = drawUnderPoints;
    content.drawOver = drawOverPoints;
    return content;
}

void drawCompleteFrame() {
    frameScheduler.cancel();
    const FrameContent content = frameContent();
    content.view.load();
    content.drawUnder();
    PointRenderer& renderer = frameScheduler.renderer;
    renderer.begin(content.points, content.pointSize, content.points.count, content.view);
    renderer.addRange(0, content.points.count);
    renderer.finish();
    content.drawOver();
}
