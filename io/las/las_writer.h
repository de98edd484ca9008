// io/las/las_writer.h - a cloud written as LAS 1.4 with every attribute it carries.
#pragma once

#include "io/point_cloud.h"

#include <cstdint>
#include <cstdio>

// The scale a cloud is written with, per axis: the file's own step when it had one (a LAS family
// file) and its coordinates fit 32 bits at it; else the largest power of ten within a quarter of
// the float spacing at the cloud's largest stored coordinate, so that the floats come back as
// precisely as they held that coordinate.
void lasScaleFor(const PointCloud& cloud, double scale[3]);

// LAS 1.4 in the records of las14FrameAt at lasScaleFor's scale (which keeps the file's own
// step axis by axis, where the compressed writers choose one scale for a coarse grid): point
// format 7 when the colours are the file's own, else 6; the kind of GPS time the cloud's file
// had; the shift as the header's offset, moved onto the file's grid where the points lie on it
// (moveOffsetsOntoFileGrid); the box and the counts, by return too, of the points written.
// Points without a finite position are left out and counted in skipped. False on a write error.
bool writeLas(const PointCloud& cloud, FILE* out, int64_t& skipped);
