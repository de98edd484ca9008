// io/native/block_stream.cpp - block reads with pread on a seekable file, read otherwise.
#include "io/native/block_stream.h"

#include "io/native/number_parsing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <unistd.h>

namespace native {

bool BlockStream::init(const BlockSource& from, size_t block) {
    source = from;
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
    const int64_t at = base + static_cast<int64_t>(kept);
    ssize_t got;
    if (source.bytes) {
        got = at < source.size ? static_cast<ssize_t>(std::min<int64_t>(
                                     static_cast<int64_t>(blockBytes), source.size - at))
                               : 0;
        if (got > 0)
            std::memcpy(data + kept, source.bytes + at, static_cast<size_t>(got));
    } else {
        do
            got = source.seekable ? pread(source.fd, data + kept, blockBytes, at)
                                  : read(source.fd, data + kept, blockBytes);
        while (got < 0 && errno == EINTR);
    }
    // A read error ends the file, as it ends a stdio stream's input.
    if (got <= 0)
        ended = true;
    else
        length += static_cast<size_t>(got);
    data[length] = '\0';
    return got > 0;
}

} // namespace native
