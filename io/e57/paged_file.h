// io/e57/paged_file.h - the logical byte stream of an E57 file, read through its checksummed
// 1024-byte pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct E57Header {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint64_t physicalLength = 0;
    uint64_t xmlPhysicalOffset = 0;
    uint64_t xmlLogicalLength = 0;
    uint64_t pageSize = 0;
};

// Every page is 1020 content bytes and a CRC-32C of them, stored big-endian. Structures run
// across page boundaries in the logical stream (the content parts glued together), so all
// reads go through here. Each page is checked the first time a read touches it. Holds no copy
// of the file: it reads from the caller's mapping.
class PagedFile {
public:
    static constexpr uint64_t pageBytes = 1024;
    static constexpr uint64_t contentBytes = 1020;

    enum class Read { Ok, PastEnd, BadChecksum };

    // Checks the header. False, with error set to one line, when the bytes are not an E57
    // file this reader can read. A file shorter than its header says is accepted: reads of
    // the missing pages give PastEnd, and cutShort() tells.
    bool open(const uint8_t* bytes, size_t size, std::string& error);
    const E57Header& header() const { return header_; }
    bool cutShort() const { return cutShort_; }
    // The logical length of the pages present.
    uint64_t logicalSize() const { return pages_ * contentBytes; }

    // False when the offset points into a checksum.
    static bool toLogical(uint64_t physical, uint64_t& logical);

    // Copies size logical bytes starting at offset into out.
    Read read(uint64_t offset, size_t size, uint8_t* out);
    // The page whose checksum failed, after read gave BadChecksum.
    uint64_t badPage() const { return badPage_; }

private:
    bool pageGood(uint64_t page);

    const uint8_t* bytes_ = nullptr;
    uint64_t pages_ = 0;
    bool cutShort_ = false;
    E57Header header_;
    std::vector<uint8_t> pageState_; // 0 not checked yet, 1 good, 2 bad
    uint64_t badPage_ = 0;
};
