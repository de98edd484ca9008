// io/ept/ept_reader.h - a tiled octree dataset read whole, node by node: the loader's entry
// point for ept.json.
#pragma once

#include "io/ept/ept_dataset.h"
#include "io/format_reader.h"

// Every node the hierarchy holds decoded on the request's threads, in key order (the root's
// points first), with one shift for the whole dataset. A damaged or missing hierarchy or data
// file loses its own points and is named in the message, one part each.
ReadResult readEptDataset(EptDataset& dataset, const ReadRequest& request);

// request.path is the ept.json file (its text in request.bytes); the other files are read from
// its folder.
ReadResult readEpt(const ReadRequest& request);

// pointillist-info's dataset line: "ept: depth D, N nodes, span S, data TYPE".
std::string eptInfoLine(EptDataset& dataset);
