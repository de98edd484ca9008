// viewer/point_set.h - the loaded points and everything derived from them once.
#pragma once

#include "viewer/point_reader.h"

#include <GL/gl.h>

#include <cstdint>

// The one in-memory owner of the point records, their bounding box, centroid, compiled display
// list and the camera distance at which the whole cloud is in view. Loaded once at start-up and
// never released. The z bounds pair crosswise because the camera looks along -z: nearCorner is
// (min x, min y, max z), the lower-left corner of the face nearest to the eye, and farCorner is
// (max x, max y, min z).
struct PointSet {
    PointRecord* points = nullptr;
    GLuint displayList = 0;
    int32_t count = 0;
    float nearCorner[3] = {};
    float farCorner[3] = {};
    float centroid[3] = {};
    float viewDistance = 0.0f;

    // Reads the file into points and count, then computes the box and centroid. If the file
    // can't be opened or its records can't be allocated, prints the message on standard
    // output and ends the process with status 1.
    void load(const char* path);
    // load in two halves, so that start-up can create the window and compile the list while
    // the body is parsed. beginLoad opens the file, reads its header and allocates the records
    // (failures end the process as in load), then parses the body on a worker thread;
    // finishLoad waits for it and computes the box and centroid, and does nothing when no load
    // is pending. buildDisplayList finishes a pending load itself.
    void beginLoad(const char* path);
    void finishLoad();
    // The exact box and the mean of the points whose positions are finite; all zero when
    // there are none.
    void computeBounds();
    // The distance from the eye to the box's front face at which the x extent fills the given
    // horizontal field of view (degrees) with a 10 % margin. A cloud without x extent is
    // framed by the larger of its y and z extents, or by 1.0 when it is a single position.
    void computeViewDistance(float fieldOfViewX);
    // Compiles the points into a new display list, from arrays: the same points in the same
    // order and colours as one glColor3fv and glVertex3fv each, at a fraction of the calls. A
    // pending load is compiled as its records arrive, then finished. The graphics window's
    // context is current.
    void buildDisplayList();
    // Red, green and blue lines from the centroid along x, y and z, 0.15 viewDistance long.
    void drawAxes() const;
};

extern PointSet pointSet;
