// viewer/frame.cpp - composing a frame: background, axes, the points drawn, overlays.
#include "viewer/frame.h"

#include "viewer/legend.h"
#include "viewer/level_of_detail.h"
#include "viewer/overlays.h"
#include "viewer/point_marks.h"
#include "viewer/shown_runs.h"
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
    // Under the help and the status line, which may cover them.
    drawPointMarks(viewOf(viewer.viewState, viewer.pointSet), width, height);
    drawOverlays(width, height);
    if (viewer.displaySettings.showLegend)
        drawLegend(width, height);
}

// The file's colours are in the records; the others come from their own array.
PointSource pointsToDraw(const PointCloud& cloud) {
    PointSource source = recordSource(cloud.points, cloud.count);
    // A streamed file's nodes are coloured each on its own.
    if (viewer.displaySettings.colourMode == ColourMode::File || viewer.copcLod)
        return source;
    const unsigned char* colours =
        viewer.pointColours.colours(cloud, viewer.displaySettings.colourMode, &viewer.pointSet);
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
    content.points = pointsToDraw(drawnCloud());
    content.cloudPoints =
        viewer.copcLod ? viewer.copcLod->declaredPoints() : int64_t(viewer.pointSet.count);
    if (viewer.sceneLod)
        content.cloudPoints += viewer.sceneLod->declaredPoints();
    content.lod = levelOfDetail();
    // A streamed file's nodes leave out their hidden points themselves; a scene's level of
    // detail narrows its records held to those shown.
    if (!viewer.copcLod && !viewer.sceneLod) {
        PointVisibility& visibility = drawnVisibility();
        content.drawn = visibility.drawn();
        content.drawnCount = visibility.drawnCount();
        content.drawnVersion = visibility.version();
    }
    content.pointSize = static_cast<float>(viewer.displaySettings.pointSize);
    if (viewer.displaySettings.eyeDome)
        content.eyeDome = viewer.displaySettings.eyeDomeStrength;
    content.drawUnder = drawUnderPoints;
    content.drawOver = drawOverPoints;
    return content;
}

void drawCompleteFrame() {
    viewer.frameScheduler.cancel();
    finishLevelOfDetail(viewOf(viewer.viewState, viewer.pointSet));
    const FrameContent content = frameContent();
    content.view.load();
    content.drawUnder();
    PointRenderer& renderer = viewer.frameScheduler.renderer;
    renderer.begin(content.points, content.pointSize, content.cloudPoints, content.view,
                   content.eyeDome);
    if (content.lod) {
        std::vector<PointSegment> segments =
            content.lod->frame(content.view, -1, content.points).segments;
        if (content.drawn != nullptr)
            keepShown(segments, content.drawn, content.drawnCount);
        renderer.addSegments(segments.data(), segments.size());
    } else if (content.drawn != nullptr) {
        renderer.addIndices(content.drawn, content.drawnCount);
    } else {
        renderer.addRange(0, content.points.count);
    }
    renderer.finish();
    content.drawOver();
}
