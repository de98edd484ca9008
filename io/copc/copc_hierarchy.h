// io/copc/copc_hierarchy.h - the octree's index: which nodes exist, where each node's chunk is
// and how many points it holds, read page by page as the tree is walked.
#pragma once

#include "io/byte_source.h"
#include "io/copc/copc_key.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// One node of the index: where its chunk lies in the file and how many points it holds. A node
// without points (0) exists only to lead to nodes below it.
struct CopcNode {
    CopcKey key;
    uint64_t offset = 0;
    uint32_t bytes = 0;
    uint32_t points = 0;
};

// What the pages read so far hold.
struct CopcHierarchySummary {
    size_t pagesRead = 0;
    size_t pagesLost = 0;    // pages that could not be used (their nodes are lost with them)
    size_t pagesPending = 0; // pages named but not read yet
    size_t nodes = 0;        // nodes with points
    int depth = -1;          // the deepest level with points; -1 when no node has any
    uint64_t points = 0;     // the sum of their counts
};

// The pages of the index, each read the first time a walk needs a node it may hold. Entries are
// checked as their page is read: an entry that names no node of the octree, a chunk or page
// beyond the end of the file, a page reached twice (a loop of pointers) or a key met twice is
// damage, lost with one line saying what. Safe to call from several threads: one lock guards
// what the pages hold, and a page's bytes are read outside it, by one thread, while any other
// that needs the page waits for it.
class CopcHierarchy {
public:
    explicit CopcHierarchy(ByteSource& source) : source_(source) {}
    CopcHierarchy(const CopcHierarchy&) = delete;
    CopcHierarchy& operator=(const CopcHierarchy&) = delete;

    // Reads the root page, which holds the root node; false, with the one line that is also
    // kept as damage, when it cannot be used.
    bool loadRoot(uint64_t offset, uint64_t size, std::string& error);
    // The node named key, reading the pages that may hold it; false when the index has no such
    // node (none was written, or it was lost with its page).
    bool find(const CopcKey& key, CopcNode& node);
    // The children of key that the index holds, in child order, pages read as needed.
    std::vector<CopcNode> children(const CopcKey& key);
    // The children as children gives them when every page that may hold one is read; otherwise
    // false, with those pages (named by their keys) in pages, and nothing read here.
    bool childrenRead(const CopcKey& key, std::vector<CopcNode>& found,
                      std::vector<CopcKey>& pages);
    // Reads the page named by key (as childrenRead names it), or waits while another thread
    // reads it; at once when it is read already or no page has that name.
    void readPage(const CopcKey& key);
    // Reads every page not read yet.
    void loadAll();
    // Every node read so far (with or without points), in key order.
    std::vector<CopcNode> nodes() const;
    CopcHierarchySummary summary() const;
    // The damage found since the last call, one line each, in the order it was found.
    std::vector<std::string> takeDamage();

private:
    struct Page {
        uint64_t offset = 0, size = 0;
    };
    // With the lock held, released while the bytes are read. key is a copy: the caller's may
    // be the pending entry this erases.
    void settlePage(std::unique_lock<std::mutex>& lock, CopcKey key);
    // The page's bytes, read without the lock; false with the line of damage in problem.
    bool fetchPage(const CopcKey& key, const Page& page, std::vector<uint8_t>& bytes,
                   std::string& problem);
    // Both with the lock held.
    void addPage(const CopcKey& key, const Page& page, const std::vector<uint8_t>& bytes,
                 const std::string& problem);
    void addEntry(const CopcKey& page, const uint8_t* entry);
    // The pending page that may hold key's entry: key's own or the nearest above it.
    bool pendingAbove(const CopcKey& key, CopcKey& page) const;

    ByteSource& source_;
    mutable std::mutex mutex_;
    std::map<CopcKey, CopcNode> nodes_;
    std::map<CopcKey, Page> pending_; // pages named by a pointer entry, keyed by its node
    std::set<CopcKey> reading_;       // pending pages whose bytes a thread is reading
    std::condition_variable pageDone_;
    std::set<uint64_t> pageOffsets_; // every page named so far: a second pointer is a loop
    std::vector<std::string> damage_;
    size_t pagesRead_ = 0, pagesLost_ = 0;
};
