// viewer/point_set.h - the loaded points and what the viewer draws of them.
#pragma once

#include "io/cloud_load.h"
#include "io/point_cloud.h"

#include <GL/gl.h>

#include <cstdint>
#include <memory>

// The one in-memory cloud of the viewer (records, box, centroid, view distance: see PointCloud)
// with its compiled display list. Loaded once at start-up and never released.
struct PointSet : PointCloud {
    GLuint displayList = 0;
    // The load between beginLoad and finishLoad; null when none is pending.
    std::unique_ptr<CloudLoad> pending;

    // Reads the file into points and count, then computes the box and centroid. If the file
    // can't be read, prints the message and ends the process with status 1.
    void load(const char* path);
    // load in two halves, so that start-up can create the window and compile the list while
    // the body is read. beginLoad opens the file, picks its reader and lets it check the header
    // (failures end the process as in load), the body following on a worker thread;
    // finishLoad waits for it and computes the box and centroid, and does nothing when no load
    // is pending. buildDisplayList finishes a pending load itself.
    void beginLoad(const char* path);
    void finishLoad();
    // Compiles the points into a new display list, from arrays: the same points in the same
    // order and colours as one glColor3fv and glVertex3fv each, at a fraction of the calls. A
    // pending load is compiled as its records arrive, then finished. The graphics window's
    // context is current.
    void buildDisplayList();
    // Red, green and blue lines from the centroid along x, y and z, 0.15 viewDistance long.
    void drawAxes() const;
};

extern PointSet pointSet;
