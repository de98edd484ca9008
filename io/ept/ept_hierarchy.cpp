// io/ept/ept_hierarchy.cpp - hierarchy files parsed with nlohmann::json, checked entry by entry.
#include "io/ept/ept_hierarchy.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>

namespace {

using Json = nlohmann::json;

std::string fileName(const CopcKey& key) {
    return "ept-hierarchy/" + key.text() + ".json";
}

// A decimal number of at most nine digits (every valid coordinate fits) from text[at].
bool readPart(const std::string& text, size_t& at, int32_t& value) {
    const size_t begin = at;
    int64_t number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 10)
        number = number * 10 + (text[at++] - '0');
    if (at == begin || at - begin > 9)
        return false;
    value = int32_t(number);
    return true;
}

} // namespace

bool parseEptKey(const std::string& text, CopcKey& key) {
    size_t at = 0;
    int32_t parts[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (at >= text.size() || text[at++] != '-'))
            return false;
        if (!readPart(text, at, parts[i]))
            return false;
    }
    key = {parts[0], parts[1], parts[2], parts[3]};
    return at == text.size() && key.valid();
}

bool EptHierarchy::loadRoot(std::string& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    pending_.insert(CopcKey());
    return settleFile(lock, CopcKey(), error);
}

bool EptHierarchy::settleFile(std::unique_lock<std::mutex>& lock, CopcKey key, std::string& error) {
    if (reading_.count(key)) {
        fileDone_.wait(lock, [&] { return reading_.count(key) == 0; });
        return true;
    }
    if (!pending_.count(key))
        return true;
    // The file stays pending while it is read: a walk meanwhile knows its nodes are to come.
    reading_.insert(key);
    lock.unlock();
    std::vector<uint8_t> bytes;
    const bool fetched = folder_.readWhole(fileName(key), bytes, error);
    lock.lock();
    reading_.erase(key);
    const bool used = addFile(key, bytes, fetched, error);
    fileDone_.notify_all();
    return used;
}

bool EptHierarchy::addFile(const CopcKey& key, const std::vector<uint8_t>& bytes, bool fetched,
                           std::string& error) {
    pending_.erase(key);
    read_.insert(key);
    const std::string name = fileName(key);
    auto lose = [&](const std::string& why) {
        error = why;
        damage_.push_back(why);
        ++filesLost_;
        return false;
    };
    if (!fetched)
        return lose(error);
    const Json entries = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (entries.is_discarded() || !entries.is_object())
        return lose(folder_.locate(name) + ": not a JSON object of node counts");

    bool listsItself = false;
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        const std::string where = folder_.locate(name) + ": ";
        CopcKey node;
        if (!parseEptKey(entry.key(), node)) {
            damage_.push_back(where + "\"" + entry.key() + "\" names no node");
            continue;
        }
        if (!key.covers(node)) {
            damage_.push_back(where + "node " + entry.key() + " lies outside its subtree");
            continue;
        }
        const Json& value = entry.value();
        const bool integer = value.is_number_integer();
        const int64_t count = !integer ? -2
                              : value.is_number_unsigned()
                                  ? int64_t(std::min<uint64_t>(value.get<uint64_t>(), INT64_MAX))
                                  : value.get<int64_t>();
        if (count < -1) {
            damage_.push_back(where + "node " + entry.key() + " has no usable count");
            continue;
        }
        if (node == key)
            listsItself = true;
        if (count == -1) {
            // A file that sends its own root elsewhere again would be read in a loop.
            if (node == key || read_.count(node) || pending_.count(node) || nodes_.count(node)) {
                damage_.push_back(where + "node " + entry.key() + " is sent to a file twice");
                continue;
            }
            pending_.insert(node);
            continue;
        }
        if (!nodes_.emplace(node, EptNode{node, uint64_t(count)}).second)
            damage_.push_back(where + "node " + entry.key() + " is listed twice");
    }
    if (!listsItself)
        damage_.push_back(folder_.locate(name) + ": does not list node " + key.text());
    return true;
}

bool EptHierarchy::pendingAbove(const CopcKey& key, CopcKey& file) const {
    for (CopcKey at = key;; at = at.parent()) {
        if (pending_.count(at)) {
            file = at;
            return true;
        }
        if (at.level == 0)
            return false;
    }
}

bool EptHierarchy::find(const CopcKey& key, EptNode& node) {
    if (!key.valid())
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto found = nodes_.find(key);
        if (found != nodes_.end()) {
            node = found->second;
            return true;
        }
        CopcKey file;
        if (!pendingAbove(key, file))
            return false;
        std::string ignored; // kept as damage
        settleFile(lock, file, ignored);
    }
}

std::vector<EptNode> EptHierarchy::children(const CopcKey& key) {
    std::vector<EptNode> found;
    if (key.level >= kCopcDeepestLevel)
        return found;
    for (int i = 0; i < 8; ++i) {
        EptNode node;
        if (find(key.child(i), node))
            found.push_back(node);
    }
    return found;
}

bool EptHierarchy::childrenRead(const CopcKey& key, std::vector<EptNode>& found,
                                std::vector<CopcKey>& files) {
    found.clear();
    files.clear();
    if (!key.valid() || key.level >= kCopcDeepestLevel)
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < 8; ++i) {
        const CopcKey child = key.child(i);
        const auto node = nodes_.find(child);
        CopcKey file;
        if (node != nodes_.end())
            found.push_back(node->second);
        else if (pendingAbove(child, file) &&
                 std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(file);
    }
    return files.empty();
}

void EptHierarchy::readFile(const CopcKey& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::string ignored; // kept as damage
    settleFile(lock, key, ignored);
}

void EptHierarchy::loadAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    std::string ignored;
    while (!pending_.empty())
        settleFile(lock, *pending_.begin(), ignored);
}

std::vector<EptNode> EptHierarchy::nodes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<EptNode> all;
    all.reserve(nodes_.size());
    for (const auto& entry : nodes_)
        all.push_back(entry.second);
    return all;
}

EptHierarchySummary EptHierarchy::summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    EptHierarchySummary summary;
    summary.filesRead = read_.size();
    summary.filesLost = filesLost_;
    summary.filesPending = pending_.size();
    for (const auto& entry : nodes_) {
        if (entry.second.points == 0)
            continue;
        ++summary.nodes;
        summary.depth = std::max(summary.depth, int(entry.first.level));
        summary.points += entry.second.points;
    }
    return summary;
}

std::vector<std::string> EptHierarchy::takeDamage() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(damage_);
    return taken;
}
