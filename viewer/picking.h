// viewer/picking.h - which point of the cloud lies under a place on the screen.
#pragma once

#include "io/point_records.h"
#include "viewer/point_raster.h"
#include "viewer/point_visibility.h"
#include "viewer/view.h"

#include <cstdint>

// The index of the point whose projection lies nearest to (x, y) (window pixels, origin at the
// bottom left, as gluProject gives them), if within radius pixels; -1 when none is. Points
// outside the view volume (behind the eye, clipped by a plane) or not finite are never picked;
// of points equally near on screen the one nearest to the eye wins. With a visibility, nor are
// the points it hides.
int64_t nearestPointOnScreen(const PointRecord* points, int64_t count, const View& view, double x,
                             double y, double radius, const PointVisibility* visibility = nullptr);
// The same over runs of points (those a run's indices name, when it has them): whether one lies
// within radius, and its position if so.
bool nearestPointOnScreen(const PointSegment* segments, size_t count, const View& view, double x,
                          double y, double radius, float position[3]);
