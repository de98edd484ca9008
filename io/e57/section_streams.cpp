// io/e57/section_streams.cpp - the packet walk: data packets give chunks, index and empty
// packets are skipped.
#include "io/e57/section_streams.h"

#include <cstring>
#include <iterator>

namespace {

uint16_t u16At(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint64_t u64At(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

enum PacketType : uint8_t { IndexPacket = 0, DataPacket = 1, EmptyPacket = 2 };

// Records why the walk stops, from a read that did not give its bytes.
void stopOnRead(PagedFile::Read read, PagedFile& file, SectionStreams& s, const char* what) {
    if (read == PagedFile::Read::BadChecksum) {
        s.badChecksum = true;
        s.badPage = file.badPage();
        s.stopped = "page " + std::to_string(s.badPage) + " fails its checksum";
    } else {
        s.stopped = std::string(what) + " runs past the end of the file";
    }
}

} // namespace

void readSectionStreams(PagedFile& file, uint64_t sectionOffset, size_t leafCount,
                        const std::vector<bool>& wanted, const std::vector<uint64_t>& neededBytes,
                        ClaimedSections& claimed, SectionStreams& s,
                        const std::function<void(uint64_t, uint64_t)>& walked) {
    s = SectionStreams();
    s.bytes.assign(leafCount, std::vector<uint8_t>());
    size_t incomplete = 0;
    for (size_t i = 0; i < leafCount; ++i)
        if (wanted[i] && neededBytes[i] > 0)
            ++incomplete;
    auto finish = [&] {
        for (auto& b : s.bytes)
            b.resize(b.size() + SectionStreams::padding, 0);
    };

    uint64_t start;
    uint8_t header[32];
    if (!PagedFile::toLogical(sectionOffset, start)) {
        s.stopped = "section offset points into a checksum";
        return finish();
    }
    if (PagedFile::Read r = file.read(start, sizeof header, header); r != PagedFile::Read::Ok) {
        stopOnRead(r, file, s, "section header");
        return finish();
    }
    const uint64_t sectionLength = u64At(header + 8);
    uint64_t position;
    if (header[0] != 1) {
        s.stopped = "not a compressed-vector section";
        return finish();
    }
    if (!PagedFile::toLogical(u64At(header + 16), position) || position < start + sizeof header) {
        s.stopped = "data offset outside its section";
        return finish();
    }
    // A section that claims to run past the file is walked up to the file's end.
    const uint64_t end =
        sectionLength > file.logicalSize() - start ? file.logicalSize() : start + sectionLength;

    const auto next = claimed.lower_bound(start);
    if ((next != claimed.end() && next->first < end) ||
        (next != claimed.begin() && std::prev(next)->second > start)) {
        s.stopped = "section overlaps another scan's";
        return finish();
    }
    claimed.emplace(start, end);
    s.sectionBytes = end - start;
    std::vector<uint8_t> packet(65536);
    while (position < end && incomplete > 0) {
        if (PagedFile::Read r = file.read(position, 4, packet.data()); r != PagedFile::Read::Ok) {
            stopOnRead(r, file, s, "packet");
            break;
        }
        const uint8_t type = packet[0];
        const uint64_t length = uint64_t(u16At(packet.data() + 2)) + 1;
        if (type > EmptyPacket || length % 4 != 0 || length > end - position) {
            s.stopped = "damaged packet at logical offset " + std::to_string(position);
            break;
        }
        if (type != DataPacket) {
            position += length;
            continue;
        }
        if (PagedFile::Read r = file.read(position, size_t(length), packet.data());
            r != PagedFile::Read::Ok) {
            stopOnRead(r, file, s, "packet");
            break;
        }
        const size_t count = length >= 6 ? u16At(packet.data() + 4) : 0;
        size_t chunk = 6 + 2 * count;
        if (length < 6 || count != leafCount || chunk > length) {
            s.stopped = "data packet with " + std::to_string(count) + " bytestreams for " +
                        std::to_string(leafCount) + " fields";
            break;
        }
        // Validate every chunk length before taking any, so a damaged packet adds nothing.
        size_t total = chunk;
        for (size_t i = 0; i < count; ++i)
            total += u16At(packet.data() + 6 + 2 * i);
        if (total > length) {
            s.stopped = "data packet chunks overrun the packet";
            break;
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t n = u16At(packet.data() + 6 + 2 * i);
            std::vector<uint8_t>& stream = s.bytes[i];
            if (wanted[i] && stream.size() < neededBytes[i]) {
                stream.insert(stream.end(), packet.data() + chunk, packet.data() + chunk + n);
                if (stream.size() >= neededBytes[i])
                    --incomplete;
            }
            chunk += n;
        }
        position += length;
        if (walked)
            walked(position - start, s.sectionBytes);
    }
    if (s.stopped.empty() && incomplete > 0)
        s.stopped = "section ends before its last record";
    finish();
}
