// io/byte_source.h - a file or a remote object, read by ranges.
#pragma once
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
