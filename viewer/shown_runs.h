// viewer/shown_runs.h - runs of records narrowed to the records shown, when some are hidden.
#pragma once

#include "viewer/point_raster.h"

#include <cstdint>
#include <vector>

// Each run of records in segments (first, count, without indices) becomes the part of shown, an
// ascending list of shownCount record numbers, that falls within it: the run's records less the
// hidden ones, drawn through the list. A run keeps its id: the node's points stay what they
// were, the list names those of them drawn. Runs left empty go; returns the points the runs now
// hold.
int64_t keepShown(std::vector<PointSegment>& segments, const uint32_t* shown, int64_t shownCount);
