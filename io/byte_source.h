// io/byte_source.h - a file or a remote object read by byte ranges, for the readers that fetch
// only the parts of a file they need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file or a remote object read by ranges; read may be called from several threads at once.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual const std::string& name() const = 0; // path or URL, for messages
    virtual int64_t size() const = 0;            // total bytes
    // Reads [offset, offset + length) into out (resized); false with a one-line reason.
    virtual bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
                      std::string& error) = 0;
};

// A regular file read with pread; null with a one-line reason naming the path when it cannot be
// opened, is a directory, or is not a regular file (a pipe has no ranges to read).
std::unique_ptr<ByteSource> openLocalFile(const std::string& path, std::string& error);

// Bytes already in memory (a mapped file, a test's buffer), which must outlive the source.
std::unique_ptr<ByteSource> viewBytes(const std::string& name, const uint8_t* data, size_t size);
