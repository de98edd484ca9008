// io/native/block_stream.cpp - block reads with pread on a seekable file, read otherwise.
#include "io/native/block_stream.h"

#include "io/native/number_parsing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <unistd.h>

namespace native {

bool BlockStream::init(int descriptor, bool canSeek, size_t block) {
    fd = descriptor;
    seekable = canSeek;
    blockBytes = std::max<size_t>(block, 1);
    data = new (std::nothrow) char[blockBytes + kKeepBytes + 80]();
    if (data)
        data[0] = '\0';
    return data != nullptr;
}

void BlockStream::seek(int64_t to) {
    base = to;
    length = position = 0;
    ended = false;
    data[0] = '\0';
}

bool BlockStream::refill(size_t keep) {
    if (ended)
        return false;
    const size_t kept = length - keep;
    std::memmove(data, data + keep, kept);
    base += static_cast<int64_t>(keep);
    position -= keep;
    length = kept;
    ssize_t got;
    do
        got = seekable ? pread(fd, data + kept, blockBytes, base + static_cast<int64_t>(kept))
                       : read(fd, data + kept, blockBytes);
    while (got < 0 && errno == EINTR);
    // A read error ends the file, as it ends a stdio stream's input.
    if (got <= 0)
        ended = true;
    else
        length += static_cast<size_t>(got);
    data[length] = '\0';
    return got > 0;
}

} // namespace native
