// io/byte_source.cpp - ranges of a local file by pread, and of bytes already in memory.
#include "io/byte_source.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A range the source cannot hold: the same check and text for every kind of source.
bool outside(int64_t offset, int64_t length, int64_t size, std::string& error) {
    if (offset >= 0 && length >= 0 && offset <= size && length <= size - offset)
        return false;
    error = std::to_string(length) + " bytes at " + std::to_string(offset) + " lie beyond its " +
            std::to_string(size) + " bytes";
    return true;
}

// Resizing may need more memory than there is: a length read from a damaged file can be huge.
bool resize(std::vector<uint8_t>& out, int64_t length, std::string& error) {
    if (uint64_t(length) > out.max_size()) {
        error = "cannot hold " + std::to_string(length) + " bytes";
        return false;
    }
    out.resize(size_t(length));
    return true;
}

class LocalFile : public ByteSource {
public:
    LocalFile(const std::string& path, int fd, int64_t size) : path_(path), fd_(fd), size_(size) {}
    ~LocalFile() override { close(fd_); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    const std::string& name() const override { return path_; }
    int64_t size() const override { return size_; }

    // pread keeps no file position, so threads share the descriptor without a lock.
    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override {
        if (outside(offset, length, size_, error) || !resize(out, length, error))
            return false;
        int64_t done = 0;
        while (done < length) {
            const ssize_t got = pread(fd_, out.data() + done, size_t(length - done), offset + done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = std::string("cannot be read (") + std::strerror(errno) + ")";
                return false;
            }
            // The file shrank after it was opened.
            if (got == 0) {
                error = "ends after " + std::to_string(offset + done) + " bytes";
                return false;
            }
            done += got;
        }
        return true;
    }

private:
    std::string path_;
    int fd_;
    int64_t size_;
};

class MemoryBytes : public ByteSource {
public:
    MemoryBytes(const std::string& name, const uint8_t* data, size_t size)
        : name_(name), data_(data), size_(int64_t(size)) {}

    const std::string& name() const override { return name_; }
    int64_t size() const override { return size_; }

    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override {
        if (outside(offset, length, size_, error) || !resize(out, length, error))
            return false;
        if (length > 0)
            std::memcpy(out.data(), data_ + offset, size_t(length));
        return true;
    }

private:
    std::string name_;
    const uint8_t* data_;
    int64_t size_;
};

} // namespace

std::unique_ptr<ByteSource> openLocalFile(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot be opened (" + std::strerror(errno) + ")";
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const bool directory = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
        error = path + (directory ? ": is a directory" : ": is not a regular file");
        close(fd);
        return nullptr;
    }
    std::unique_ptr<ByteSource> source(new (std::nothrow)
                                           LocalFile(path, fd, int64_t(status.st_size)));
    if (!source) {
        close(fd);
        error = path + ": cannot be opened (out of memory)";
    }
    return source;
}

std::unique_ptr<ByteSource> viewBytes(const std::string& name, const uint8_t* data, size_t size) {
    return std::unique_ptr<ByteSource>(new (std::nothrow) MemoryBytes(name, data, size));
}
