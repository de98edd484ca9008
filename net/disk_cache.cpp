// net/disk_cache.cpp - ranges kept as files in a folder per URL, checked against the version.
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
    DiskCachedSource(std::unique_ptr<HttpSource> source, const std::string& folder)
        : source_(std::move(source)), folder_(folder) {}
    const std::string& name() const override { return source_->name(); }
    int64_t size() const override { return source_->size(); }

    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override {
        // The opening request's bytes are in memory already.
        if (offset + length <= source_->headSize())
            return source_->read(offset, length, out, error);
        const std::string path =
            folder_ + "/" + std::to_string(offset) + "-" + std::to_string(length);
        if (readFile(path, out, length))
            return true;
        if (!source_->read(offset, length, out, error))
            return false;
        writeFile(path, out.data(), out.size());
        return true;
    }

private:
    std::unique_ptr<HttpSource> source_;
    std::string folder_;
};

} // namespace

std::unique_ptr<ByteSource> cacheOnDisk(std::unique_ptr<HttpSource>& source,
                                        const std::string& folder, std::string& error) {
    const std::string entry = folder + "/" + fnvHex(source->name());
    if (!makeFolder(folder, error) || !makeFolder(entry, error))
        return nullptr;
    // The URL is kept too: two URLs of the same hash do not share ranges.
    const std::string version = source->name() + "\n" + source->version() + "\n";
    std::vector<uint8_t> kept;
    struct stat info;
    const std::string versionPath = entry + "/version";
    const bool same = ::stat(versionPath.c_str(), &info) == 0 &&
                      readFile(versionPath, kept, info.st_size) &&
                      std::string(kept.begin(), kept.end()) == version;
    if (!same) {
        removeEntries(entry);
        if (!writeFile(versionPath, reinterpret_cast<const uint8_t*>(version.data()),
                       version.size())) {
            error = entry + ": cannot be written";
            return nullptr;
        }
    }
    std::unique_ptr<ByteSource> cached(new (std::nothrow)
                                           DiskCachedSource(std::move(source), entry));
    if (!cached)
        error = folder + ": out of memory";
    return cached;
}
