// viewer/remote_cloud.h - a URL opened as the viewer's cloud: a large octree file streamed by
// ranges, anything else fetched and read whole.
#pragma once

#include <cstdint>
#include <string>

// Opens url: an octree LAZ file that streamOctreeSource would stream is streamed through the
// program's HTTP client, its chunks fetched by as many workers as the client keeps
// connections; a large dataset's ept.json is streamed alike, file by file (streamDataset);
// anything else starts a load of the point set as a local file of its format would
// (PointSet::beginLoadWith). All of it is kept in the program's disk cache when it has one
// (--cache). A URL that cannot be opened prints one line (the URL and why) and ends the
// process with status 1.
void openRemoteCloud(const char* url, uint64_t memoryBytes);

// Has the program's end give up the node fetches still waiting on a server before the caches'
// workers are waited for (std::exit runs the destructors); registered once however often asked.
void cancelFetchesAtExit();

// The status line's part while a streamed URL's chunks are fetched: "fetching 3 nodes, 1.2 MB,
// 850 kB/s"; empty when nothing is being fetched.
std::string fetchingStatus();
// The same text from its figures.
std::string fetchingText(int nodes, int64_t bytes, double bytesPerSecond);
