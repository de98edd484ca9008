// net/disk_cache.h - byte ranges of remote files kept in a folder, for a later run to reuse.
#pragma once

#include "net/http_source.h"

#include <memory>
#include <string>

// A remote file whose ranges are kept in folder/ENTRY/, one file per range read, ENTRY named
// after the URL. The entry records the version the ranges came from (the server's validator
// and the size): when the file opens as another version, the old ranges are removed rather than
// served. The opening request is always made, to learn the version. A range that cannot be
// written is simply not kept.
// Takes source, or leaves it and gives null with a one-line reason when the folder cannot be
// made or used.
std::unique_ptr<ByteSource> cacheOnDisk(std::unique_ptr<HttpSource>& source,
                                        const std::string& folder, std::string& error);
