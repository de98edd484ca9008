// viewer/frame.cpp - composing a frame: background, axes, the points drawn, overlays.
#include "viewer/frame.h"

#include "viewer/legend.h"
#include "viewer/overlays.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <cstdio>

namespace {

// Red, green and blue lines from the centroid along x, y and z, 0.15 viewDistance long.
void drawAxes(const PointSet& set) {
    const double length = static_cast<double>(set.viewDistance) * 0.15;
    float ends[3][3];
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < 3; ++i)
            ends[axis][i] = static_cast<float>(set.centroid[i] + (i == axis ? length : 0.0));

    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3fv(set.centroid);
    glVertex3fv(ends[0]);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3fv(set.centroid);
    glVertex3fv(ends[1]);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3fv(set.centroid);
    glVertex3fv(ends[2]);
    glEnd();
}

void drawUnderPoints() {
    float background[3];
    backgroundColour(viewer.displaySettings.background, background);
    glClearColor(background[0], background[1], background[2], 0.0f);
    // Without a depth buffer later drawing covers earlier: the points cover the axes.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (viewer.showAxis)
        drawAxes(viewer.pointSet);
}

void drawOverPoints() {
    const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    drawOverlays(width, height);
    if (viewer.displaySettings.showLegend)
        drawLegend(width, height);
}

// The file's colours are in the records; the others come from their own array.
PointSource pointsToDraw() {
    PointSource source = recordSource(viewer.pointSet.points, viewer.pointSet.count);
    if (viewer.displaySettings.colourMode == ColourMode::File)
        return source;
    const unsigned char* colours =
        viewer.pointColours.colours(viewer.pointSet, viewer.displaySettings.colourMode);
    if (colours == nullptr) {
        if (colourModeAvailable(viewer.displaySettings.colourMode, viewer.pointSet.attributes))
            std::fprintf(stderr, "pointillist: not enough memory for the %s colours\n",
                         colourModeName(viewer.displaySettings.colourMode));
        viewer.displaySettings.colourMode = ColourMode::File;
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
    content.view = viewOf(viewer.viewState, viewer.pointSet);
    content.points = pointsToDraw();
    PointVisibility& visibility = viewer.pointSet.visibility;
    content.drawn = visibility.drawn();
    content.drawnCount = visibility.drawnCount();
    content.drawnVersion = visibility.version();
    content.pointSize = static_cast<float>(viewer.displaySettings.pointSize);
    content.drawUnder = drawUnderPoints;
    content.drawOver = drawOverPoints;
    return content;
}

void drawCompleteFrame() {
    viewer.frameScheduler.cancel();
    const FrameContent content = frameContent();
    content.view.load();
    content.drawUnder();
    PointRenderer& renderer = viewer.frameScheduler.renderer;
    renderer.begin(content.points, content.pointSize, content.points.count, content.view);
    if (content.drawn != nullptr)
        renderer.addIndices(content.drawn, content.drawnCount);
    else
        renderer.addRange(0, content.points.count);
    renderer.finish();
    content.drawOver();
}
