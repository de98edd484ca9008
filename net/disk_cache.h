// net/disk_cache.h - what was fetched of URLs kept in a folder, for a later run to reuse.
#pragma once

#include "net/http_source.h"

#include <memory>
#include <string>
#include <vector>

// A folder (--cache) keeping what was fetched of each URL in FOLDER/ENTRY/, ENTRY named after
// the URL: one file per range read, the range 0-SIZE being the whole file. The entry records
// the version its files came from (the server's validator, the size and the first bytes:
// HttpSource::version): when the URL opens as another version, the old files are removed
// rather than served. Learning the version takes the opening request, which is always made.
// A file that cannot be written is simply not kept. Used from any number of threads at once.
class DiskCache {
public:
    // The folder, made when missing and checked for writing; null with "FOLDER: reason".
    static std::unique_ptr<DiskCache> open(const std::string& folder, std::string& error);

    // source read through the cache. Takes source, or leaves it and gives null when the URL's
    // entry cannot be used.
    std::unique_ptr<ByteSource> keepRanges(std::unique_ptr<HttpSource>& source);
    // The whole of source, from the entry when this version of it is kept there, else fetched
    // (HttpSource::readAll) and kept.
    bool readWhole(HttpSource& source, std::vector<uint8_t>& out, std::string& error);

    // One file of fetchWhole: its URL, and how the fetch went.
    struct WholeFetch {
        std::string url;
        bool ok = false;
        std::vector<uint8_t> bytes;
        std::string error; // "URL: reason"
    };
    // Each file whole, with two rounds of requests all in flight together: the opening
    // requests, which tell the versions (and bring a small file, or the whole of one from a
    // server that ignores ranges), then the rest of each file not kept in this version.
    void fetchWhole(HttpClient& client, std::vector<WholeFetch>& fetches);

private:
    explicit DiskCache(const std::string& folder) : folder_(folder) {}
    // The entry of url, emptied when it held another version; empty when it cannot be used.
    std::string entryFor(const std::string& url, const std::string& version);

    std::string folder_;
};

// The program's cache, opened once from its command line before any URL is read; false with
// "FOLDER: reason" when it cannot be, and then the program keeps nothing.
bool openSharedDiskCache(const std::string& folder, std::string& error);
// The program's cache; null without one.
DiskCache* sharedDiskCache();
