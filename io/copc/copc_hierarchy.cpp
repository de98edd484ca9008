// io/copc/copc_hierarchy.cpp - reading and checking the index's pages of 32-byte entries.
#include "io/copc/copc_hierarchy.h"

#include "io/byte_order.h"

#include <algorithm>

namespace {

constexpr uint64_t kEntryBytes = 32;
// A layered chunk costs at least a few thousandths of a bit per point, even when every point is
// the same: a count beyond this many points per byte is a corrupt count.
constexpr uint64_t kMostPointsPerByte = 4096;

std::string place(uint64_t bytes, uint64_t offset) {
    return "(" + std::to_string(bytes) + " bytes at " + std::to_string(offset) + ")";
}

} // namespace

bool CopcHierarchy::loadRoot(uint64_t offset, uint64_t size, std::string& error) {
    const Page root{offset, size};
    std::vector<uint8_t> bytes;
    std::string problem;
    fetchPage(CopcKey(), root, bytes, problem);
    std::lock_guard<std::mutex> lock(mutex_);
    pageOffsets_.insert(offset);
    addPage(CopcKey(), root, bytes, problem);
    if (problem.empty())
        return true;
    error = problem;
    return false;
}

bool CopcHierarchy::fetchPage(const CopcKey& key, const Page& page, std::vector<uint8_t>& bytes,
                              std::string& problem) {
    const std::string name = "hierarchy page " + key.text() + " " + place(page.size, page.offset);
    const uint64_t fileSize = uint64_t(source_.size());
    if (page.size == 0 || page.size % kEntryBytes != 0)
        problem = name + " is not a whole number of 32-byte entries";
    else if (page.offset > fileSize || page.size > fileSize - page.offset)
        problem =
            name + " reaches past the end of the file (" + std::to_string(fileSize) + " bytes)";
    std::string error;
    if (problem.empty() && !source_.read(int64_t(page.offset), int64_t(page.size), bytes, error))
        problem = name + " cannot be read: " + error;
    return problem.empty();
}

void CopcHierarchy::addPage(const CopcKey& key, const Page& page, const std::vector<uint8_t>& bytes,
                            const std::string& problem) {
    if (!problem.empty()) {
        damage_.push_back(problem);
        ++pagesLost_;
        return;
    }
    ++pagesRead_;
    for (uint64_t at = 0; at < page.size; at += kEntryBytes)
        addEntry(key, bytes.data() + at);
}

void CopcHierarchy::settlePage(std::unique_lock<std::mutex>& lock, CopcKey key) {
    if (reading_.count(key)) {
        pageDone_.wait(lock, [&] { return reading_.count(key) == 0; });
        return;
    }
    const auto pending = pending_.find(key);
    if (pending == pending_.end())
        return;
    // The page stays pending while it is read: a walk meanwhile knows its nodes are to come.
    const Page page = pending->second;
    reading_.insert(key);
    lock.unlock();
    std::vector<uint8_t> bytes;
    std::string problem;
    fetchPage(key, page, bytes, problem);
    lock.lock();
    reading_.erase(key);
    pending_.erase(key);
    addPage(key, page, bytes, problem);
    pageDone_.notify_all();
}

void CopcHierarchy::addEntry(const CopcKey& page, const uint8_t* entry) {
    CopcKey key;
    key.level = loadLittle<int32_t>(entry);
    key.x = loadLittle<int32_t>(entry + 4);
    key.y = loadLittle<int32_t>(entry + 8);
    key.z = loadLittle<int32_t>(entry + 12);
    const uint64_t offset = loadLittle<uint64_t>(entry + 16);
    const int32_t bytes = loadLittle<int32_t>(entry + 24);
    const int32_t points = loadLittle<int32_t>(entry + 28);
    const uint64_t fileSize = uint64_t(source_.size());
    const std::string name = "node " + key.text();

    if (!key.valid()) {
        damage_.push_back("hierarchy page " + page.text() + " has an entry for " + key.text() +
                          ", which is no node of the octree");
        return;
    }
    if (points < -1) {
        damage_.push_back(name + " has a point count of " + std::to_string(points));
        return;
    }
    if (points < 0) {
        // Each page is followed once: a pointer to a page already named would go round again.
        // The page itself is checked when it is read.
        const Page named{offset, uint64_t(uint32_t(bytes))};
        if (!pageOffsets_.insert(offset).second) {
            damage_.push_back("hierarchy page " + key.text() + " " + place(named.size, offset) +
                              " is reached twice (a loop of pages)");
            ++pagesLost_;
        } else if (!pending_.emplace(key, named).second) {
            damage_.push_back("two hierarchy pages are named " + key.text());
            ++pagesLost_;
        }
        return;
    }
    if (points > 0 && bytes <= 0) {
        damage_.push_back(name + " has " + std::to_string(points) + " points in " +
                          std::to_string(bytes) + " bytes");
        return;
    }
    if (points > 0 && (offset > fileSize || uint64_t(bytes) > fileSize - offset)) {
        damage_.push_back(name + " " + place(uint64_t(bytes), offset) + " lies outside the file (" +
                          std::to_string(fileSize) + " bytes)");
        return;
    }
    if (uint64_t(points) / kMostPointsPerByte > uint64_t(bytes)) {
        damage_.push_back(name + " claims " + std::to_string(points) + " points in " +
                          std::to_string(bytes) + " bytes");
        return;
    }
    CopcNode node;
    node.key = key;
    node.offset = points > 0 ? offset : 0;
    node.bytes = points > 0 ? uint32_t(bytes) : 0;
    node.points = uint32_t(points);
    if (!nodes_.emplace(key, node).second)
        damage_.push_back(name + " appears twice in the hierarchy");
}

bool CopcHierarchy::pendingAbove(const CopcKey& key, CopcKey& page) const {
    for (CopcKey up = key;; up = up.parent()) {
        if (pending_.count(up)) {
            page = up;
            return true;
        }
        if (up.level == 0)
            return false;
    }
}

bool CopcHierarchy::find(const CopcKey& key, CopcNode& node) {
    if (!key.valid())
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto found = nodes_.find(key);
        if (found != nodes_.end()) {
            node = found->second;
            return true;
        }
        // A page named by key or by a node above it may hold key's entry; reading it may name
        // further pages below.
        CopcKey page;
        if (!pendingAbove(key, page))
            return false;
        settlePage(lock, page);
    }
}

std::vector<CopcNode> CopcHierarchy::children(const CopcKey& key) {
    std::vector<CopcNode> found;
    if (!key.valid() || key.level >= kCopcDeepestLevel)
        return found;
    for (int i = 0; i < 8; ++i) {
        CopcNode node;
        if (find(key.child(i), node))
            found.push_back(node);
    }
    return found;
}

bool CopcHierarchy::childrenRead(const CopcKey& key, std::vector<CopcNode>& found,
                                 std::vector<CopcKey>& pages) {
    found.clear();
    pages.clear();
    if (!key.valid() || key.level >= kCopcDeepestLevel)
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < 8; ++i) {
        const CopcKey child = key.child(i);
        const auto node = nodes_.find(child);
        CopcKey page;
        if (node != nodes_.end())
            found.push_back(node->second);
        else if (pendingAbove(child, page) &&
                 std::find(pages.begin(), pages.end(), page) == pages.end())
            pages.push_back(page);
    }
    return pages.empty();
}

void CopcHierarchy::readPage(const CopcKey& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    settlePage(lock, key);
}

void CopcHierarchy::loadAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!pending_.empty())
        settlePage(lock, pending_.begin()->first);
}

std::vector<CopcNode> CopcHierarchy::nodes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CopcNode> all;
    all.reserve(nodes_.size());
    for (const auto& entry : nodes_)
        all.push_back(entry.second);
    return all;
}

CopcHierarchySummary CopcHierarchy::summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    CopcHierarchySummary summary;
    summary.pagesRead = pagesRead_;
    summary.pagesLost = pagesLost_;
    summary.pagesPending = pending_.size();
    for (const auto& entry : nodes_) {
        const CopcNode& node = entry.second;
        if (node.points == 0)
            continue;
        ++summary.nodes;
        summary.points += node.points;
        if (node.key.level > summary.depth)
            summary.depth = node.key.level;
    }
    return summary;
}

std::vector<std::string> CopcHierarchy::takeDamage() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(damage_);
    return taken;
}
