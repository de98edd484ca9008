// io/ept/ept_hierarchy.h - which nodes a tiled dataset holds and their point counts, read file
// by file (ept-hierarchy/D-X-Y-Z.json) as the tree is walked.
#pragma once

#include "io/copc/copc_key.h"
#include "io/resource_folder.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// One node: its key and how many points its data file holds.
struct EptNode {
    CopcKey key;
    uint64_t points = 0;
};

// What the hierarchy files read so far hold.
struct EptHierarchySummary {
    size_t filesRead = 0;
    size_t filesLost = 0;    // files that could not be used (their nodes are lost with them)
    size_t filesPending = 0; // files named (by a count of -1) but not read yet
    size_t nodes = 0;        // nodes with points
    int depth = -1;          // the deepest level with points; -1 when no node has any
    uint64_t points = 0;     // the sum of their counts
};

// "D-X-Y-Z" in plain decimal, naming a node of the octree; false for anything else.
bool parseEptKey(const std::string& text, CopcKey& key);

// The hierarchy files, each read the first time a walk needs a node it may hold. Each file maps
// keys to counts; -1 sends the subtree below that key to a file of its own. Damage (a file that
// cannot be read or is not such a map, a key that names no node or lies outside its file's
// subtree, a count below -1, a key met twice) loses what it touches, with one line saying what.
// Safe to call from several threads: one lock guards what the files hold, and a file is read
// outside it, by one thread, while any other that needs the file waits for it.
class EptHierarchy {
public:
    explicit EptHierarchy(ResourceFolder& folder) : folder_(folder) {}
    EptHierarchy(const EptHierarchy&) = delete;
    EptHierarchy& operator=(const EptHierarchy&) = delete;

    // Reads the root file (0-0-0-0.json); false, with the one line also kept as damage, when it
    // cannot be used.
    bool loadRoot(std::string& error);
    // The node named key, reading the files that may hold it; false when no file lists it (none
    // was written, or it was lost with its file).
    bool find(const CopcKey& key, EptNode& node);
    // The children of key that the hierarchy holds, in child order, files read as needed.
    std::vector<EptNode> children(const CopcKey& key);
    // The children as children gives them when every file that may hold one is read;
    // otherwise false, with those files (named by their subtrees' keys) in files, and nothing
    // read here.
    bool childrenRead(const CopcKey& key, std::vector<EptNode>& found, std::vector<CopcKey>& files);
    // Reads the file of the subtree key (as childrenRead names it), or waits while another
    // thread reads it; at once when it is read already or no file has that name.
    void readFile(const CopcKey& key);
    // Reads every file not read yet.
    void loadAll();
    // Every node read so far (with or without points), in key order.
    std::vector<EptNode> nodes() const;
    EptHierarchySummary summary() const;
    // The damage found since the last call, one line each, in the order it was found.
    std::vector<std::string> takeDamage();

private:
    // With the lock held, released while the bytes are read; false with the line of damage
    // in error when the file cannot be used. The key by value: it may come from pending_,
    // which the read erases it from.
    bool settleFile(std::unique_lock<std::mutex>& lock, CopcKey key, std::string& error);
    // With the lock held: the file's entries, checked.
    bool addFile(const CopcKey& key, const std::vector<uint8_t>& bytes, bool fetched,
                 std::string& error);
    bool pendingAbove(const CopcKey& key, CopcKey& file) const;

    ResourceFolder& folder_;
    mutable std::mutex mutex_;
    std::map<CopcKey, EptNode> nodes_;
    std::set<CopcKey> pending_; // subtrees whose file is named but not read yet
    std::set<CopcKey> reading_; // pending files a thread is reading
    std::condition_variable fileDone_;
    std::set<CopcKey> read_; // files read, used or lost
    std::vector<std::string> damage_;
    size_t filesLost_ = 0;
};
