// io/native/block_stream.h - a file read a block at a time, from its descriptor or from its
// mapped bytes, with the padding the in-place parser needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace native {

// Where the blocks come from: the mapped bytes of a regular file, or else a descriptor, read
// with pread when it can seek. Neither is owned: both threads of a split body read the same.
struct BlockSource {
    const unsigned char* bytes = nullptr;
    int64_t size = 0; // of bytes
    int fd = -1;
    bool seekable = false; // true for bytes
};

// A file read a block at a time with one character of pushback, like a stdio stream. The byte
// after the buffered ones is always NUL, which stops the parser's loops without bounds checks,
// and at least 64 more bytes follow it so that the parser can load eight or 64 at a time. The
// blocks are copies even of mapped bytes, for that padding.
struct BlockStream {
    BlockSource source;
    bool ended = false;
    char* data = nullptr;
    size_t blockBytes = 0;
    size_t length = 0;
    size_t position = 0;
    int64_t base = 0; // file offset of data[0]

    BlockStream() = default;
    BlockStream(const BlockStream&) = delete;
    BlockStream& operator=(const BlockStream&) = delete;
    ~BlockStream() { delete[] data; }

    // False when the buffer cannot be had.
    bool init(const BlockSource& from, size_t block);
    int64_t offset() const { return base + static_cast<int64_t>(position); }
    void seek(int64_t to);
    // Moves the bytes from keep on (at most kKeepBytes of them) to the front and reads a block
    // after them. False once the file has ended: like a stdio stream's, the end is sticky.
    bool refill(size_t keep);

    int get() {
        if (position == length && !refill(length))
            return EOF;
        return static_cast<unsigned char>(data[position++]);
    }
    void unget(int c) {
        if (c != EOF)
            --position;
    }
};

} // namespace native
