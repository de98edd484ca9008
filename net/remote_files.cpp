// net/remote_files.cpp - HTTP folders, and the pick between local and remote places.
#include "net/remote_files.h"

#include "io/copc/copc_reader.h"
#include "io/ept/ept_reader.h"
#include "net/disk_cache.h"
#include "net/http_client.h"
#include "net/http_source.h"
#include "net/url.h"

#include <algorithm>
#include <new>

namespace {

// The files beside the document at a URL, each fetched whole with one GET; through the
// program's disk cache when it has one.
class HttpFolder : public ResourceFolder {
public:
    explicit HttpFolder(const std::string& documentUrl) : document_(documentUrl) {}

    std::string locate(const std::string& relative) const override {
        const std::string url = resolveUrl(document_, relative);
        return url.empty() ? document_ + " + " + relative : url;
    }

    bool readWhole(const std::string& relative, std::vector<uint8_t>& out,
                   std::string& error) override {
        const std::string url = resolveUrl(document_, relative);
        if (url.empty()) {
            error = locate(relative) + ": not a URL";
            return false;
        }
        if (!sharedDiskCache())
            return fetchWhole(url, out, error);
        std::vector<WholeFile> one(1);
        one[0].relative = relative;
        readMany(one);
        out.swap(one[0].bytes);
        error = one[0].error;
        return one[0].ok;
    }

    void readMany(std::vector<WholeFile>& files) override {
        std::shared_ptr<HttpClient> client = sharedHttpClient();
        if (!client) {
            ResourceFolder::readMany(files); // each says HTTP is not available
            return;
        }
        if (DiskCache* cache = sharedDiskCache()) {
            readKept(*cache, *client, files);
            return;
        }
        std::vector<HttpRequest> requests(files.size());
        for (size_t i = 0; i < files.size(); ++i)
            requests[i].url = resolveUrl(document_, files[i].relative);
        client->perform(requests.data(), requests.size());
        for (size_t i = 0; i < files.size(); ++i) {
            WholeFile& file = files[i];
            file.ok = requests[i].ok && !requests[i].url.empty();
            file.error =
                requests[i].url.empty() ? locate(file.relative) + ": not a URL" : requests[i].error;
            file.bytes.swap(requests[i].body);
        }
    }

private:
    void readKept(DiskCache& cache, HttpClient& client, std::vector<WholeFile>& files) {
        std::vector<DiskCache::WholeFetch> fetches(files.size());
        for (size_t i = 0; i < files.size(); ++i)
            fetches[i].url = resolveUrl(document_, files[i].relative);
        cache.fetchWhole(client, fetches);
        for (size_t i = 0; i < files.size(); ++i) {
            files[i].ok = fetches[i].ok && !fetches[i].url.empty();
            files[i].error = fetches[i].url.empty() ? locate(files[i].relative) + ": not a URL"
                                                    : fetches[i].error;
            files[i].bytes.swap(fetches[i].bytes);
        }
    }

    std::string document_;
};

// http read through the program's disk cache when it has one (http is then taken).
std::unique_ptr<ByteSource> throughCache(std::unique_ptr<HttpSource>& http) {
    DiskCache* cache = sharedDiskCache();
    std::unique_ptr<ByteSource> kept = cache && http ? cache->keepRanges(http) : nullptr;
    return kept ? std::move(kept) : std::move(http);
}

std::string withoutQuery(const std::string& place) {
    return place.substr(0, std::min(place.find('?'), place.find('#')));
}

} // namespace

bool namesEptDataset(const std::string& place) {
    const std::string path = isUrl(place.c_str()) ? withoutQuery(place) : place;
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
}

std::unique_ptr<ByteSource> openSource(const std::string& place, std::string& error) {
    if (!isUrl(place.c_str()))
        return openLocalFile(place, error);
    std::shared_ptr<HttpClient> client = sharedHttpClient();
    if (!client) {
        error = place + ": HTTP is not available (libcurl could not be set up)";
        return nullptr;
    }
    std::unique_ptr<HttpSource> http = openHttp(client, place, error);
    return throughCache(http);
}

std::unique_ptr<ResourceFolder> openFolderOf(const std::string& place) {
    if (isUrl(place.c_str()))
        return std::unique_ptr<ResourceFolder>(new (std::nothrow) HttpFolder(place));
    return openLocalFolder(folderOf(place));
}

std::unique_ptr<EptDataset> openEptDataset(const std::string& place, std::string& error) {
    std::unique_ptr<ResourceFolder> folder = openFolderOf(place);
    std::vector<uint8_t> json;
    if (!folder || !folder->readWhole(leafOf(withoutQuery(place)), json, error)) {
        if (!folder)
            error = place + ": out of memory";
        return nullptr;
    }
    std::unique_ptr<EptDataset> dataset =
        EptDataset::open(std::move(folder), json.data(), json.size(), error);
    if (!dataset)
        error = place + ": EPT dataset, " + error;
    return dataset;
}

bool openRemoteRead(const std::string& url, RemoteRead& remote, std::string& error) {
    if (namesEptDataset(url)) {
        std::unique_ptr<EptDataset> dataset = openEptDataset(url, error);
        if (!dataset)
            return false;
        openRemoteRead(std::move(dataset), remote);
        return true;
    }
    std::shared_ptr<HttpClient> client = sharedHttpClient();
    if (!client) {
        error = url + ": HTTP is not available (libcurl could not be set up)";
        return false;
    }
    std::unique_ptr<HttpSource> http = openHttp(client, url, error);
    return http && openRemoteRead(std::move(http), remote, error);
}

void openRemoteRead(std::shared_ptr<EptDataset> dataset, RemoteRead& remote) {
    remote.ept = std::move(dataset);
    remote.entry = &formatEntry(Format::Ept);
    std::shared_ptr<EptDataset> ept = remote.ept;
    remote.read = [ept](const ReadRequest& request) { return readEptDataset(*ept, request); };
}

bool openRemoteRead(std::unique_ptr<HttpSource> http, RemoteRead& remote, std::string& error) {
    const std::string url = http->name();
    std::vector<uint8_t> head;
    const int64_t headSize = std::min<int64_t>(http->size(), 4096);
    if (!http->read(0, headSize, head, error))
        return false;
    if (hasCopcSignature(head.data(), head.size())) {
        std::string reason;
        std::unique_ptr<CopcFile> file = CopcFile::open(throughCache(http), reason);
        if (file) {
            remote.copc = std::move(file);
            remote.entry = &formatEntry(Format::Copc);
            std::shared_ptr<CopcFile> copc = remote.copc;
            remote.read = [copc](const ReadRequest& request) {
                return readCopcFile(*copc, request);
            };
            return true;
        }
    }
    // Everything else is read as the file itself would be, from its bytes fetched whole (an
    // octree file whose index cannot be used too, though its source went with the attempt:
    // the read names what is wrong with it).
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    DiskCache* cache = sharedDiskCache();
    const bool fetched = !http   ? fetchWhole(url, *bytes, error)
                         : cache ? cache->readWhole(*http, *bytes, error)
                                 : http->readAll(*bytes, error);
    if (!fetched)
        return false;
    remote.entry = pickFormat(withoutQuery(url).c_str(), bytes->data(),
                              std::min<size_t>(bytes->size(), 4096), true);
    if (!remote.entry) {
        error = url + ": unknown format (not a point file this program reads)";
        return false;
    }
    const ReadFunction read = remote.entry->read;
    remote.read = [bytes, read](const ReadRequest& request) {
        ReadRequest whole = request;
        whole.bytes = bytes->data();
        whole.size = bytes->size();
        return read(whole);
    };
    return true;
}
