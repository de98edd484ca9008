// io/copc/copc_writer.cpp - the index's pages laid out top-down, and the file around the chunks.
#include "io/copc/copc_writer.h"

#include "io/byte_order.h"
#include "io/laz/compression_record.h"

#include <deque>
#include <map>
#include <utility>

namespace {

constexpr size_t kEntryBytes = 32;
constexpr size_t kInfoBytes = 160;

struct TreeNode {
    CopcEntry entry;
    size_t subtree = 1; // nodes in its subtree, itself included
};
using Tree = std::map<CopcKey, TreeNode>;

// A page's entries, and which of them point to which later page.
struct Page {
    CopcKey root;
    std::vector<CopcEntry> entries;
    std::vector<std::pair<size_t, size_t>> pointers; // (entry, page)
};

class PageLayout {
public:
    PageLayout(const Tree& tree, const CopcPaging& paging)
        : tree_(tree), paging_(paging), single_(tree.size() <= paging.onePage) {}

    std::vector<Page> lay() {
        pages_.push_back(Page{CopcKey(), {}, {}});
        // Pages are filled in the order they are named, so the list grows as it is walked (and
        // moves: the root is taken by value).
        for (size_t i = 0; i < pages_.size(); ++i)
            walk(i, pages_[i].root, 0);
        return std::move(pages_);
    }

private:
    void walk(size_t page, const CopcKey key, int depth) {
        pages_[page].entries.push_back(tree_.at(key).entry);
        if (key.level >= kCopcDeepestLevel)
            return;
        for (int i = 0; i < 8; ++i) {
            const CopcKey child = key.child(i);
            const auto found = tree_.find(child);
            if (found == tree_.end())
                continue;
            if (!single_ && depth + 1 >= paging_.levels && found->second.subtree > paging_.fewest) {
                pages_[page].pointers.emplace_back(pages_[page].entries.size(), pages_.size());
                CopcEntry pointer;
                pointer.key = child;
                pointer.points = -1;
                pages_[page].entries.push_back(pointer);
                pages_.push_back(Page{child, {}, {}});
            } else {
                walk(page, child, depth + 1);
            }
        }
    }

    const Tree& tree_;
    const CopcPaging& paging_;
    bool single_;
    std::vector<Page> pages_;
};

void putEntry(uint8_t* at, const CopcEntry& entry) {
    storeLittle(at, entry.key.level);
    storeLittle(at + 4, entry.key.x);
    storeLittle(at + 8, entry.key.y);
    storeLittle(at + 12, entry.key.z);
    storeLittle(at + 16, entry.offset);
    storeLittle(at + 24, entry.bytes);
    storeLittle(at + 28, entry.points);
}

} // namespace

std::vector<uint8_t> encodeCopcPages(const std::vector<CopcEntry>& nodes, uint64_t payloadOffset,
                                     const CopcPaging& paging, uint64_t& rootSize) {
    Tree tree;
    for (const CopcEntry& entry : nodes)
        if (!entry.key.valid() || !tree.emplace(entry.key, TreeNode{entry}).second)
            return std::vector<uint8_t>();
    // Every node's ancestors, with no points where they have none.
    tree.emplace(CopcKey(), TreeNode{CopcEntry()});
    for (const CopcEntry& entry : nodes)
        for (CopcKey up = entry.key.parent(); up.level > 0; up = up.parent()) {
            CopcEntry empty;
            empty.key = up;
            if (!tree.emplace(up, TreeNode{empty}).second)
                break;
        }
    // Deepest first (keys order by level), so that each subtree is whole before its parent's.
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
        if (it->first.level > 0)
            tree.at(it->first.parent()).subtree += it->second.subtree;

    std::vector<Page> pages = PageLayout(tree, paging).lay();
    std::vector<uint64_t> start(pages.size());
    uint64_t total = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        start[i] = total;
        total += pages[i].entries.size() * kEntryBytes;
    }
    std::vector<uint8_t> out(total);
    for (size_t i = 0; i < pages.size(); ++i) {
        for (const auto& [entry, page] : pages[i].pointers) {
            CopcEntry& pointer = pages[i].entries[entry];
            pointer.offset = payloadOffset + start[page];
            pointer.bytes = int32_t(pages[page].entries.size() * kEntryBytes);
        }
        for (size_t e = 0; e < pages[i].entries.size(); ++e)
            putEntry(out.data() + start[i] + e * kEntryBytes, pages[i].entries[e]);
    }
    rootSize = pages[0].entries.size() * kEntryBytes;
    return out;
}

LasVlr copcInfoVlr(const CopcInfo& info) {
    LasVlr vlr;
    vlr.userId = "copc";
    vlr.recordId = 1;
    vlr.description = "octree info";
    vlr.payload.assign(kInfoBytes, 0);
    uint8_t* p = vlr.payload.data();
    for (int axis = 0; axis < 3; ++axis)
        storeLittle(p + 8 * axis, info.centre[axis]);
    storeLittle(p + 24, info.halfSize);
    storeLittle(p + 32, info.spacing);
    storeLittle(p + 40, info.rootPageOffset);
    storeLittle(p + 48, info.rootPageSize);
    storeLittle(p + 56, info.gpsTimeMin);
    storeLittle(p + 64, info.gpsTimeMax);
    return vlr;
}

LazLayout CopcWriter::layoutOf(int pointFormat, bool& valid) {
    LazLayout layout;
    const uint32_t length = pointFormat == 6 ? 30 : pointFormat == 7 ? 36 : 38;
    valid = layeredLazLayout(pointFormat, length, 0, layout);
    return layout;
}

CopcWriter::CopcWriter(int pointFormat, LazByteSink sink, const CopcPaging& paging)
    : layout_(layoutOf(pointFormat, valid_)), file_(layout_, std::move(sink)), paging_(paging) {}

bool CopcWriter::fail() {
    failed_ = true;
    return false;
}

bool CopcWriter::begin(const Las14Header& header, const CopcInfo& info) {
    if (failed_ || !valid_ || !file_.begin(header, {copcInfoVlr(info)}))
        return fail();
    return true;
}

bool CopcWriter::writeNode(const CopcKey& key, const uint8_t* bytes, size_t size, uint32_t points) {
    // The index's fields are signed 32-bit.
    if (failed_ || !key.valid() || size > size_t(INT32_MAX) || points > uint32_t(INT32_MAX) ||
        !written_.insert(key).second)
        return fail();
    LazChunk place;
    if (!file_.writeEncodedChunk(bytes, size, points, &place))
        return fail();
    entries_.push_back(CopcEntry{key, place.offset, int32_t(size), int32_t(points)});
    return true;
}

bool CopcWriter::finish(const Las14Header& header, const CopcInfo& given) {
    if (failed_ || !file_.endChunks())
        return fail();
    // The index's payload follows its EVLR head.
    const uint64_t payload = file_.end() + kEvlrHeadSize;
    LasVlr index;
    index.userId = "copc";
    index.recordId = 1000;
    index.description = "octree hierarchy";
    uint64_t rootSize = 0;
    index.payload = encodeCopcPages(entries_, payload, paging_, rootSize);
    if (index.payload.empty() || !file_.writeEvlr(index))
        return fail();
    CopcInfo info = given;
    info.rootPageOffset = payload;
    info.rootPageSize = rootSize;
    if (!file_.finish(header, {copcInfoVlr(info)}))
        return fail();
    return true;
}
