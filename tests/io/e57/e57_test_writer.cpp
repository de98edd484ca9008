// tests/io/e57/e57_test_writer.cpp - the logical stream first, then cut into checksummed pages.
#include "tests/io/e57/e57_test_writer.h"

#include "io/e57/crc32c.h"

#include <cstring>

namespace {

void put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void setAt(std::vector<uint8_t>& out, size_t at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + size_t(i)] = uint8_t(value >> (8 * i));
}

void padTo4(std::vector<uint8_t>& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

} // namespace

uint64_t physicalOf(uint64_t logical) {
    return logical / 1020 * 1024 + logical % 1020;
}

std::vector<uint8_t> packBits(const std::vector<uint64_t>& values, unsigned bits) {
    std::vector<uint8_t> out((values.size() * bits + 7) / 8, 0);
    uint64_t bit = 0;
    for (uint64_t v : values)
        for (unsigned j = 0; j < bits; ++j, ++bit)
            if (v >> j & 1)
                out[bit / 8] |= uint8_t(1u << (bit % 8));
    return out;
}

std::vector<uint8_t> singles(const std::vector<float>& values) {
    std::vector<uint8_t> out(values.size() * 4);
    if (!values.empty())
        std::memcpy(out.data(), values.data(), out.size());
    return out;
}

std::vector<uint8_t> doubles(const std::vector<double>& values) {
    std::vector<uint8_t> out(values.size() * 8);
    if (!values.empty())
        std::memcpy(out.data(), values.data(), out.size());
    return out;
}

void resealPages(std::vector<uint8_t>& bytes) {
    for (size_t page = 0; page + 1024 <= bytes.size(); page += 1024) {
        const uint32_t crc = crc32c(bytes.data() + page, 1020);
        for (int i = 0; i < 4; ++i)
            bytes[page + 1020 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    }
}

TestFile writeE57(const std::vector<TestScan>& scans) {
    TestFile file;
    std::vector<uint8_t> logical(48, 0);
    std::string scanXml;
    for (const TestScan& scan : scans) {
        padTo4(logical);
        const size_t start = logical.size();
        put(logical, 1, 1);
        put(logical, 0, 7);
        put(logical, 0, 8); // section length, set below
        put(logical, physicalOf(start + 32), 8);
        put(logical, 0, 8);
        std::vector<size_t> taken(scan.fields.size(), 0);
        const size_t packetCount = scan.packets.empty() ? 1 : scan.packets.size();
        for (size_t p = 0; p < packetCount; ++p) {
            for (size_t e : scan.emptyBefore)
                if (e == p) {
                    put(logical, 2, 1);
                    put(logical, 0, 1);
                    put(logical, 3, 2);
                }
            const size_t packetStart = logical.size();
            put(logical, 1, 1);
            put(logical, 0, 1);
            put(logical, 0, 2); // length - 1, set below
            put(logical, scan.fields.size(), 2);
            std::vector<size_t> sizes;
            for (size_t f = 0; f < scan.fields.size(); ++f) {
                const size_t left = scan.fields[f].stream.size() - taken[f];
                const bool last = p + 1 == packetCount;
                sizes.push_back(last ? left : std::min(left, scan.packets[p][f]));
                put(logical, sizes.back(), 2);
            }
            for (size_t f = 0; f < scan.fields.size(); ++f) {
                const uint8_t* from = scan.fields[f].stream.data() + taken[f];
                logical.insert(logical.end(), from, from + sizes[f]);
                taken[f] += sizes[f];
            }
            padTo4(logical);
            setAt(logical, packetStart + 2, logical.size() - packetStart - 1, 2);
            file.dataPackets.emplace_back(packetStart, logical.size());
        }
        setAt(logical, start + 8, logical.size() - start, 8);

        scanXml += "<vectorChild type=\"Structure\">" + scan.extraXml +
                   "<points type=\"CompressedVector\" fileOffset=\"" +
                   std::to_string(physicalOf(start)) + "\" recordCount=\"" +
                   std::to_string(scan.recordCount) + "\"><prototype type=\"Structure\">";
        for (const TestField& field : scan.fields)
            scanXml += field.xml;
        scanXml += "</prototype><codecs type=\"Vector\"/></points></vectorChild>";
    }
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<e57Root type=\"Structure\" "
        "xmlns=\"http://www.astm.org/COMMIT/E57/2010-e57-v1.0\">"
        "<formatName type=\"String\"><![CDATA[ASTM E57 3D Imaging Data File]]></formatName>"
        "<data3D type=\"Vector\">" +
        scanXml + "</data3D></e57Root>\n";
    file.xmlLogicalStart = logical.size();
    logical.insert(logical.end(), xml.begin(), xml.end());

    const size_t pages = (logical.size() + 1019) / 1020;
    std::memcpy(logical.data(), "ASTM-E57", 8);
    setAt(logical, 8, 1, 4);
    setAt(logical, 12, 0, 4);
    setAt(logical, 16, pages * 1024, 8);
    setAt(logical, 24, physicalOf(file.xmlLogicalStart), 8);
    setAt(logical, 32, xml.size(), 8);
    setAt(logical, 40, 1024, 8);
    logical.resize(pages * 1020, 0);
    file.bytes.assign(pages * 1024, 0);
    for (size_t page = 0; page < pages; ++page)
        std::memcpy(file.bytes.data() + page * 1024, logical.data() + page * 1020, 1020);
    resealPages(file.bytes);
    return file;
}
