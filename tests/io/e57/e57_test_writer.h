// tests/io/e57/e57_test_writer.h - writes small E57 files for the decoder's tests: the pages with
// their checksums, compressed-vector sections packet by packet, and the XML that describes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One prototype leaf: its XML element and its whole bytestream.
struct TestField {
    std::string xml; // <cartesianX type="Float" precision="single"/>
    std::vector<uint8_t> stream;
};

struct TestScan {
    std::string extraXml; // pose, colorLimits, name ... inside the scan structure
    uint64_t recordCount = 0;
    std::vector<TestField> fields;
    // Chunk sizes per packet, one per field; the last packet takes whatever is left. Empty:
    // one packet holds every stream.
    std::vector<std::vector<size_t>> packets;
    // Empty packets written before the data packet with this index.
    std::vector<size_t> emptyBefore;
};

struct TestFile {
    std::vector<uint8_t> bytes;
    // Logical [start, end) of every data packet, all scans in order.
    std::vector<std::pair<uint64_t, uint64_t>> dataPackets;
    uint64_t xmlLogicalStart = 0;
};

TestFile writeE57(const std::vector<TestScan>& scans);

// Streams: values packed LSB first in `bits` bits each, and IEEE floats.
std::vector<uint8_t> packBits(const std::vector<uint64_t>& values, unsigned bits);
std::vector<uint8_t> singles(const std::vector<float>& values);
std::vector<uint8_t> doubles(const std::vector<double>& values);

// Physical offset of a logical one.
uint64_t physicalOf(uint64_t logical);
// Restores every page checksum after a test edited the content.
void resealPages(std::vector<uint8_t>& bytes);
