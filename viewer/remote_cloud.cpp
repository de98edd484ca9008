// viewer/remote_cloud.cpp - opening a URL, and the figures of what is being fetched.
#include "viewer/remote_cloud.h"

#include "io/copc/copc_file.h"
#include "io/copc/copc_reader.h"
#include "net/disk_cache.h"
#include "net/http_client.h"
#include "net/http_source.h"
#include "net/remote_files.h"
#include "viewer/level_of_detail.h"
#include "viewer/viewer_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void refuse(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::exit(1);
}

// "850 B", "12 kB", "1.2 MB", "3.40 GB": decimal units, as transfer rates are told.
std::string bytesText(double bytes) {
    char text[32];
    if (bytes < 1e3)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else if (bytes < 1e6)
        std::snprintf(text, sizeof text, "%.0f kB", bytes / 1e3);
    else if (bytes < 1e9)
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
    return text;
}

// Starts the whole read of url that open makes ready; refuses it with open's line.
template <class Open> void readRemoteWhole(const char* url, Open open) {
    RemoteRead remote;
    std::string error;
    if (!open(remote, error))
        refuse(error);
    // The read keeps what it opened.
    viewer.pointSet.beginLoadWith(url, *remote.entry, remote.read);
}

} // namespace

void openRemoteCloud(const char* url, uint64_t memoryBytes) {
    std::string error;
    // A dataset is read file by file, never by ranges.
    if (!namesEptDataset(url)) {
        std::shared_ptr<HttpClient> client = sharedHttpClient();
        if (!client)
            refuse(std::string(url) + ": HTTP is not available (libcurl could not be set up)");
        cancelFetchesAtExit();
        std::unique_ptr<HttpSource> http = openHttp(client, url, error);
        if (!http)
            refuse(error);
        // Anything but an octree file is read whole through the source opened, which is not
        // opened again (its opening request is what a kept copy is checked by).
        std::vector<uint8_t> head;
        if (!http->read(0, std::min<int64_t>(http->size(), 4096), head, error) ||
            !hasCopcSignature(head.data(), head.size())) {
            readRemoteWhole(url, [&](RemoteRead& remote, std::string& why) {
                return openRemoteRead(std::move(http), remote, why);
            });
            return;
        }
        DiskCache* cache = sharedDiskCache();
        std::unique_ptr<ByteSource> kept = cache ? cache->keepRanges(http) : nullptr;
        std::unique_ptr<ByteSource> source = kept ? std::move(kept) : std::move(http);
        if (streamOctreeSource(source, memoryBytes, client->options().maxConnections))
            return;
    }
    if (namesEptDataset(url)) {
        // A large dataset streams its node files, as many in flight as the client keeps
        // connections; one that cannot be opened is left to the whole read to report.
        std::unique_ptr<EptDataset> dataset = openEptDataset(url, error);
        std::shared_ptr<HttpClient> client = sharedHttpClient();
        const int fetchers = client ? client->options().maxConnections : 0;
        if (dataset && streamDataset(dataset, memoryBytes, fetchers))
            return;
        // One too small to stream is read whole as it is open, its files not fetched again.
        if (dataset) {
            readRemoteWhole(url, [&](RemoteRead& remote, std::string&) {
                openRemoteRead(std::move(dataset), remote);
                return true;
            });
            return;
        }
    }
    readRemoteWhole(url, [url](RemoteRead& remote, std::string& why) {
        return openRemoteRead(url, remote, why);
    });
}

void cancelFetchesAtExit() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    std::atexit([] {
        if (std::shared_ptr<HttpClient> shared = sharedHttpClient())
            shared->cancelAll();
    });
}

std::string fetchingText(int nodes, int64_t bytes, double bytesPerSecond) {
    return "fetching " + std::to_string(nodes) + (nodes == 1 ? " node, " : " nodes, ") +
           bytesText(double(bytes)) + ", " + bytesText(bytesPerSecond) + "/s";
}

std::string fetchingStatus() {
    // A scene's streamed files together.
    FetchProgress progress;
    for (CopcLod* lod : streamedFiles()) {
        const FetchProgress part = lod->cache().fetching();
        progress.nodes += part.nodes;
        progress.bytes += part.bytes;
    }
    if (progress.nodes == 0)
        return std::string();
    // Only a remote file has fetching workers, so the client is there already.
    std::shared_ptr<HttpClient> client = sharedHttpClient();
    const double rate = client ? client->stats().bytesPerSecond : 0.0;
    return fetchingText(progress.nodes, progress.bytes, rate);
}
