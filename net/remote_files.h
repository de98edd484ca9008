// net/remote_files.h - a path and a URL opened alike: the byte source or folder the readers go
// through, and a whole read of a URL for the loading code. The one place where io's readers
// meet HTTP, so that io itself knows nothing of it.
#pragma once

#include "io/byte_source.h"
#include "io/copc/copc_file.h"
#include "io/ept/ept_dataset.h"
#include "io/formats.h"
#include "io/resource_folder.h"
#include "net/http_source.h"

#include <functional>
#include <memory>
#include <string>

// True when place names a tiled dataset by its description: a path or URL ending in ".json"
// (a query or fragment aside).
bool namesEptDataset(const std::string& place);

// A local file, or a URL read by ranges (kept in the program's disk cache when it has one);
// null with one line naming it and saying why.
std::unique_ptr<ByteSource> openSource(const std::string& place, std::string& error);
// The folder holding the file or URL place names, its files read whole (a URL's kept in the
// program's disk cache when it has one).
std::unique_ptr<ResourceFolder> openFolderOf(const std::string& place);
// The dataset whose ept.json is at place (a path or a URL); null with one line saying why.
std::unique_ptr<EptDataset> openEptDataset(const std::string& place, std::string& error);

// A URL made ready for a whole read: the format it turned out to be, and the read. An octree
// file is read by ranges, a dataset file by file, anything else fetched whole and read as a
// local file of its format would be; all of it kept in the program's disk cache when it has
// one. The objects opened stay with the read.
struct RemoteRead {
    const FormatEntry* entry = nullptr;
    std::function<ReadResult(const ReadRequest&)> read;
    std::shared_ptr<CopcFile> copc;  // when an octree file
    std::shared_ptr<EptDataset> ept; // when a dataset
};
// False with one line ("URL: reason") when the URL cannot be read or is no point file.
bool openRemoteRead(const std::string& url, RemoteRead& remote, std::string& error);
// The same for a dataset open already (its files are not fetched again).
void openRemoteRead(std::shared_ptr<EptDataset> dataset, RemoteRead& remote);
// The same for a file (not a dataset) whose URL http has opened already: the opening request,
// which tells the version a kept copy is checked against, is not made again.
bool openRemoteRead(std::unique_ptr<HttpSource> http, RemoteRead& remote, std::string& error);
