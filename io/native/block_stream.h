// io/native/block_stream.h - a file read a block at a time, with the padding the in-place
// parser needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace native {

// A file read a block at a time with one character of pushback, like a stdio stream. The byte
// after the buffered ones is always NUL, which stops the parser's loops without bounds checks,
// and at least 64 more bytes follow it so that the parser can load eight or 64 at a time.
// It doesn't own the descriptor: both threads of a split body read the same one with pread.
struct BlockStream {
    int fd = -1;
    bool seekable = false;
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
    bool init(int descriptor, bool canSeek, size_t block);
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
