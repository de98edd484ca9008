// io/e57/paged_file.cpp - header check, page checksums and the logical-to-physical mapping.
#include "io/e57/paged_file.h"

#include "io/e57/crc32c.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t u32At(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t u64At(const uint8_t* p) {
    return uint64_t(u32At(p)) | uint64_t(u32At(p + 4)) << 32;
}

} // namespace

bool PagedFile::open(const uint8_t* bytes, size_t size, std::string& error) {
    bytes_ = bytes;
    pages_ = 0;
    if (size < pageBytes) {
        error = "too short for an E57 file (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (std::memcmp(bytes, "ASTM-E57", 8) != 0) {
        error = "no E57 signature";
        return false;
    }
    const uint8_t* h = bytes + 8;
    header_.majorVersion = u32At(h);
    header_.minorVersion = u32At(h + 4);
    header_.physicalLength = u64At(h + 8);
    header_.xmlPhysicalOffset = u64At(h + 16);
    header_.xmlLogicalLength = u64At(h + 24);
    header_.pageSize = u64At(h + 32);
    if (header_.majorVersion != 1) {
        error = "E57 version " + std::to_string(header_.majorVersion) + " is not supported";
        return false;
    }
    if (header_.pageSize != pageBytes) {
        error = "page size " + std::to_string(header_.pageSize) + " instead of 1024";
        return false;
    }
    if (header_.physicalLength % pageBytes != 0 || header_.physicalLength < pageBytes) {
        error = "file length " + std::to_string(header_.physicalLength) +
                " in the header is not a whole number of pages";
        return false;
    }
    // Bytes past the declared length are not part of the file; a shorter file has lost pages.
    const uint64_t present = size / pageBytes;
    pages_ = std::min<uint64_t>(present, header_.physicalLength / pageBytes);
    cutShort_ = uint64_t(size) < header_.physicalLength;
    pageState_.assign(pages_, 0);
    if (!pageGood(0)) {
        error = "the first page fails its checksum";
        return false;
    }
    return true;
}

bool PagedFile::toLogical(uint64_t physical, uint64_t& logical) {
    if (physical % pageBytes >= contentBytes)
        return false;
    logical = physical / pageBytes * contentBytes + physical % pageBytes;
    return true;
}

bool PagedFile::pageGood(uint64_t page) {
    if (pageState_[page] == 0) {
        const uint8_t* p = bytes_ + page * pageBytes;
        const uint8_t* s = p + contentBytes;
        const uint32_t stored =
            uint32_t(s[0]) << 24 | uint32_t(s[1]) << 16 | uint32_t(s[2]) << 8 | s[3];
        pageState_[page] = crc32c(p, contentBytes) == stored ? 1 : 2;
    }
    return pageState_[page] == 1;
}

PagedFile::Read PagedFile::read(uint64_t offset, size_t size, uint8_t* out) {
    if (offset > logicalSize() || size > logicalSize() - offset)
        return Read::PastEnd;
    while (size > 0) {
        const uint64_t page = offset / contentBytes;
        const uint64_t within = offset % contentBytes;
        if (!pageGood(page)) {
            badPage_ = page;
            return Read::BadChecksum;
        }
        const size_t n = std::min<uint64_t>(size, contentBytes - within);
        std::memcpy(out, bytes_ + page * pageBytes + within, n);
        out += n;
        offset += n;
        size -= n;
    }
    return Read::Ok;
}
