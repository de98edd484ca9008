// viewer/point_marks.h - the marked point and the measurement: what a double-click and `m` do
// to them, and their drawing over the cloud.
#pragma once

#include "viewer/navigation.h"
#include "viewer/view.h"

#include <cstdio>
#include <string>
#include <vector>

// A double-click (as mouseButton reports it) on a point marks it and, while a measurement is
// active, adds it as a vertex; one on empty space takes the mark away.
void markDoubleClick(const DoubleClick& click);
// Takes the mark and its box away, as Reset View does.
void clearMark();
// `m`: starts a measurement, or ends the active one and writes its summary line to out.
void toggleMeasurement(FILE* out);

// The measurement box's lines: each with the last segment's length, its horizontal and
// vertical components and the total; none with fewer than two vertices.
std::vector<std::string> measurementLines();

// Draws the cross of the mark and its box, the measurement's polyline with each segment's
// length, over whatever the frame holds, in window pixels of a window of the given size seen
// through view. The matrices are left as they were.
void drawPointMarks(const View& view, int width, int height);
