// net/disk_cache.cpp - ranges and whole files kept per URL, checked against its version.
#include "net/disk_cache.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string fnvHex(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, hash);
    return hex;
}

bool makeFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return true;
        error = path + ": not a folder";
        return false;
    }
    error = path + ": " + std::strerror(errno);
    return false;
}

bool readFile(const std::string& path, std::vector<uint8_t>& out, int64_t expected) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && info.st_size == expected;
    if (ok) {
        out.resize(size_t(expected));
        int64_t done = 0;
        while (ok && done < expected) {
            const ssize_t got = ::pread(fd, out.data() + done, size_t(expected - done), done);
            ok = got > 0;
            done += ok ? got : 0;
        }
    }
    ::close(fd);
    return ok;
}

// Written under a name of its own, then renamed: a reader sees the whole range or none.
bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    const std::string part =
        path + ".part" + std::to_string(::getpid()) + "-" +
        std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id()));
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put <= 0)
            break;
        done += size_t(put);
    }
    const bool ok = ::close(fd) == 0 && done == size;
    if (ok && ::rename(part.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(part.c_str());
    return false;
}

std::string rangePath(const std::string& entry, int64_t offset, int64_t length) {
    return entry + "/" + std::to_string(offset) + "-" + std::to_string(length);
}

void removeEntries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            ::unlink((folder + "/" + entry->d_name).c_str());
    ::closedir(dir);
}

class DiskCachedSource : public ByteSource {
public:
    DiskCachedSource(std::unique_ptr<HttpSource> source, const std::string& entry)
        : source_(std::move(source)), entry_(entry) {}
    const std::string& name() const override { return source_->name(); }
    int64_t size() const override { return source_->size(); }

    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override {
        // The opening request's bytes are in memory already.
        if (offset + length <= source_->headSize())
            return source_->read(offset, length, out, error);
        const std::string path = rangePath(entry_, offset, length);
        if (readFile(path, out, length))
            return true;
        if (!source_->read(offset, length, out, error))
            return false;
        writeFile(path, out.data(), out.size());
        return true;
    }

private:
    std::unique_ptr<HttpSource> source_;
    std::string entry_;
};

std::unique_ptr<DiskCache>& sharedCache() {
    static std::unique_ptr<DiskCache> cache;
    return cache;
}

} // namespace

std::unique_ptr<DiskCache> DiskCache::open(const std::string& folder, std::string& error) {
    if (!makeFolder(folder, error))
        return nullptr;
    // Permissions alone do not tell (root writes anywhere, a read-only mount refuses anyone).
    const std::string probe = folder + "/.writable" + std::to_string(::getpid());
    const uint8_t byte = 0;
    if (!writeFile(probe, &byte, 1)) {
        error = folder + ": cannot be written";
        return nullptr;
    }
    ::unlink(probe.c_str());
    std::unique_ptr<DiskCache> cache(new (std::nothrow) DiskCache(folder));
    if (!cache)
        error = folder + ": out of memory";
    return cache;
}

std::string DiskCache::entryFor(const std::string& url, const std::string& version) {
    const std::string entry = folder_ + "/" + fnvHex(url);
    std::string error;
    if (!makeFolder(entry, error))
        return std::string();
    // The URL is kept too: two URLs of the same hash do not share files.
    const std::string record = url + "\n" + version + "\n";
    std::vector<uint8_t> kept;
    struct stat info;
    const std::string versionPath = entry + "/version";
    const bool same = ::stat(versionPath.c_str(), &info) == 0 &&
                      readFile(versionPath, kept, info.st_size) &&
                      std::string(kept.begin(), kept.end()) == record;
    if (same)
        return entry;
    removeEntries(entry);
    const bool written =
        writeFile(versionPath, reinterpret_cast<const uint8_t*>(record.data()), record.size());
    return written ? entry : std::string();
}

std::unique_ptr<ByteSource> DiskCache::keepRanges(std::unique_ptr<HttpSource>& source) {
    const std::string entry = entryFor(source->name(), source->version());
    if (entry.empty())
        return nullptr;
    return std::unique_ptr<ByteSource>(new (std::nothrow)
                                           DiskCachedSource(std::move(source), entry));
}

bool DiskCache::readWhole(HttpSource& source, std::vector<uint8_t>& out, std::string& error) {
    const int64_t size = source.size();
    // A file the opening request brought whole would cost no less from the disk.
    if (size <= source.headSize())
        return source.read(0, size, out, error);
    const std::string entry = entryFor(source.name(), source.version());
    const std::string path = entry.empty() ? std::string() : rangePath(entry, 0, size);
    if (!path.empty() && readFile(path, out, size))
        return true;
    if (!source.readAll(out, error))
        return false;
    if (!path.empty())
        writeFile(path, out.data(), out.size());
    return true;
}

void DiskCache::fetchWhole(HttpClient& client, std::vector<WholeFetch>& fetches) {
    std::vector<HttpRequest> heads;
    for (const WholeFetch& fetch : fetches) {
        heads.push_back(headRequest(fetch.url));
        heads.back().orWhole = true;
    }
    client.perform(heads.data(), heads.size());
    std::vector<HttpRequest> rests;
    std::vector<size_t> restOf;
    std::vector<std::string> paths(fetches.size());
    for (size_t i = 0; i < fetches.size(); ++i) {
        WholeFetch& fetch = fetches[i];
        HttpRequest& head = heads[i];
        fetch.ok = false;
        fetch.bytes.clear();
        fetch.error = head.error;
        if (!head.ok)
            continue;
        const int64_t size = head.totalSize;
        if (size < 0) {
            fetch.error = fetch.url + ": the server does not tell the size";
            continue;
        }
        if (int64_t(head.body.size()) == size) {
            fetch.bytes.swap(head.body);
            fetch.ok = true;
            continue;
        }
        if (size > client.options().maxWholeBytes) {
            fetch.error = tooLargeLine(fetch.url, client);
            continue;
        }
        const std::string entry = entryFor(fetch.url, resourceVersion(head));
        if (!entry.empty()) {
            paths[i] = rangePath(entry, 0, size);
            if ((fetch.ok = readFile(paths[i], fetch.bytes, size)))
                continue;
        }
        HttpRequest rest;
        rest.url = fetch.url;
        rest.offset = int64_t(head.body.size());
        rest.length = size - rest.offset;
        rests.push_back(std::move(rest));
        restOf.push_back(i);
    }
    client.perform(rests.data(), rests.size());
    for (size_t r = 0; r < rests.size(); ++r) {
        const size_t i = restOf[r];
        WholeFetch& fetch = fetches[i];
        HttpRequest& head = heads[i];
        fetch.error = rests[r].error;
        if (!rests[r].ok || !sameResource(rests[r], head.totalSize, head.validator, fetch.error))
            continue;
        fetch.bytes.swap(head.body);
        fetch.bytes.insert(fetch.bytes.end(), rests[r].body.begin(), rests[r].body.end());
        fetch.ok = true;
        if (!paths[i].empty())
            writeFile(paths[i], fetch.bytes.data(), fetch.bytes.size());
    }
}

bool openSharedDiskCache(const std::string& folder, std::string& error) {
    sharedCache() = DiskCache::open(folder, error);
    return sharedCache() != nullptr;
}

DiskCache* sharedDiskCache() {
    return sharedCache().get();
}
