// io/mapped_file.cpp - mmap of a whole regular file.
#include "io/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool isDirectory(int fd) {
    struct stat status;
    return fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
}

MappedFile::~MappedFile() {
    if (mapping_)
        munmap(mapping_, size_);
}

MappedFile::Opened MappedFile::open(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Opened::CannotOpen;
    struct stat status;
    if (fstat(fd, &status) != 0) {
        close(fd);
        return Opened::CannotOpen;
    }
    if (S_ISDIR(status.st_mode)) {
        close(fd);
        return Opened::Directory;
    }
    if (!S_ISREG(status.st_mode)) {
        close(fd);
        struct stat null;
        const bool nullDevice = S_ISCHR(status.st_mode) && stat("/dev/null", &null) == 0 &&
                                S_ISCHR(null.st_mode) && null.st_rdev == status.st_rdev;
        return nullDevice ? Opened::NullDevice : Opened::NotRegular;
    }
    size_ = static_cast<size_t>(status.st_size);
    // An empty file cannot be mapped; it is simply no bytes.
    if (size_ > 0) {
        void* mapping = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping == MAP_FAILED) {
            close(fd);
            size_ = 0;
            return Opened::CannotOpen;
        }
        madvise(mapping, size_, MADV_SEQUENTIAL);
        mapping_ = mapping;
        data_ = static_cast<const unsigned char*>(mapping);
    }
    // The mapping stays valid without the descriptor.
    close(fd);
    return Opened::Mapped;
}
