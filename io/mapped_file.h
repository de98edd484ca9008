// io/mapped_file.h - a regular file mapped read-only into memory.
#pragma once

#include <cstddef>

// Whether an open file is a directory. A directory opens for reading but holds no points, so
// every reader refuses it as a file that can't be opened rather than show it as an empty cloud.
bool isDirectory(int fd);

// The bytes of one file, mapped rather than read, so that a reader decodes them in place and no
// copy of the file is made. Only regular files map; pipes and devices are left to the readers
// that read by path.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // NullDevice: the device that is always empty (/dev/null), which holds no file.
    enum class Opened { Mapped, NotRegular, NullDevice, Directory, CannotOpen };
    // CannotOpen for a missing or unreadable file.
    Opened open(const char* path);

    const unsigned char* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
};
