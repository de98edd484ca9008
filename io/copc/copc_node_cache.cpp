// io/copc/copc_node_cache.cpp - the workers' queue, the held nodes and their eviction.
#include "io/copc/copc_node_cache.h"

#include "io/byte_source.h"
#include "io/colouring.h"
#include "io/copc/copc_octree.h"
#include "io/las/las_record.h"
#include "io/shift.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// Turns the raw intensities left in r into grey over [low, low + 1 / scale].
void intensityToGrey(std::vector<PointRecord>& points, float low, float scale) {
    for (PointRecord& p : points) {
        const float grey = std::min(1.0f, std::max(0.0f, (p.r - low) * scale));
        p.r = p.g = p.b = grey;
    }
}

} // namespace

uint32_t CopcNodeCache::pointBytes(int pointFormat) {
    PointAttributes columns;
    columns.present = LasAttributeConversion(pointFormat).present;
    return static_cast<uint32_t>(sizeof(PointRecord) + columns.bytesPerPoint());
}

std::unique_ptr<CopcNodeCache> CopcNodeCache::open(const std::string& path, uint64_t memoryBytes,
                                                   int threads, std::string& error,
                                                   uint32_t extraBytesPerPoint) {
    std::unique_ptr<ByteSource> source = openLocalFile(path, error);
    if (!source)
        return nullptr;
    return open(std::move(source), memoryBytes, threads, 0, error, extraBytesPerPoint);
}

std::unique_ptr<CopcNodeCache> CopcNodeCache::open(std::unique_ptr<ByteSource> source,
                                                   uint64_t memoryBytes, int threads, int fetchers,
                                                   std::string& error,
                                                   uint32_t extraBytesPerPoint) {
    std::unique_ptr<CopcFile> file = CopcFile::open(std::move(source), error);
    if (!file)
        return nullptr;
    CopcFile* opened = file.get();
    std::unique_ptr<StreamedTree> octree(new (std::nothrow) CopcOctree(std::move(file)));
    if (!octree) {
        error = "not enough memory";
        return nullptr;
    }
    std::unique_ptr<CopcNodeCache> cache =
        open(std::move(octree), memoryBytes, threads, fetchers, error, extraBytesPerPoint);
    if (cache)
        cache->file_ = opened;
    return cache;
}

std::unique_ptr<CopcNodeCache> CopcNodeCache::open(std::unique_ptr<StreamedTree> octree,
                                                   uint64_t memoryBytes, int threads, int fetchers,
                                                   std::string& error, uint32_t extraBytesPerPoint,
                                                   const double* shift) {
    std::unique_ptr<CopcNodeCache> cache(new (std::nothrow) CopcNodeCache);
    if (!cache || !octree) {
        error = "not enough memory";
        return nullptr;
    }
    cache->octree_ = std::move(octree);
    StreamedTree& tree = *cache->octree_;
    double low[3], high[3];
    tree.declaredBox(low, high);
    if (shift) {
        std::copy(shift, shift + 3, cache->shift_);
        cache->shifted_ = shift[0] != 0.0 || shift[1] != 0.0 || shift[2] != 0.0;
    } else {
        cache->shifted_ = chooseShift(low, high, cache->shift_);
        if (!cache->shifted_)
            cache->shift_[0] = cache->shift_[1] = cache->shift_[2] = 0.0;
    }
    cache->colour_ = tree.colour();
    if (cache->colour_ == ColourKind::None) {
        // The declared box's heights, as stored, span the ramp.
        cache->heightLow_ = float(low[2] - cache->shift_[2]);
        const float top = float(high[2] - cache->shift_[2]);
        cache->heightScale_ = top > cache->heightLow_ ? 1.0f / (top - cache->heightLow_) : 0.0f;
    }

    CopcNode root;
    CachedNode first;
    std::string reason;
    if (tree.find(CopcKey{}, root) && root.points > 0) {
        std::unique_ptr<StreamedNodeDecoder> decoder = tree.decoder(cache->shift_);
        if (decoder && cache->decodeNode(*decoder, root, first, reason)) {
            // The root samples the whole cloud: its intensities give every node's grey scale.
            if (cache->colour_ == ColourKind::Intensity) {
                float low = std::numeric_limits<float>::max(), high = 0.0f;
                for (const PointRecord& p : first.points) {
                    low = std::min(low, p.r);
                    high = std::max(high, p.r);
                }
                cache->intensityLow_ = low;
                cache->intensityScale_ = high > low ? 1.0f / (high - low) : 0.0f;
                cache->intensity_ = true;
                intensityToGrey(first.points, cache->intensityLow_, cache->intensityScale_);
            }
            cache->heldPoints_ = static_cast<int64_t>(first.points.size());
            first.id = ++cache->lastId_;
            cache->held_.emplace(root.key, std::move(first));
        } else {
            cache->intensity_ = cache->colour_ == ColourKind::Intensity;
            cache->lost_.insert(root.key);
            Arrival lost;
            lost.key = root.key;
            lost.error = decoder ? reason : "node " + root.key.text() + ": not enough memory";
            cache->arrivals_.push_back(std::move(lost));
        }
    } else {
        cache->intensity_ = cache->colour_ == ColourKind::Intensity;
    }
    PointAttributes columns;
    columns.present = tree.attributes();
    const uint64_t perPoint = sizeof(PointRecord) + columns.bytesPerPoint() + extraBytesPerPoint;
    const int64_t budget =
        static_cast<int64_t>(std::min<uint64_t>(memoryBytes / perPoint, INT64_MAX));
    cache->budgetPoints_ = std::max(budget, cache->heldPoints_);

    const bool started = fetchers > 0 ? cache->startWorkers(fetchers, &CopcNodeCache::fetch) &&
                                            cache->startWorkers(threads, &CopcNodeCache::decode)
                                      : cache->startWorkers(threads, &CopcNodeCache::work);
    if (!started) {
        error = "no thread to decode its nodes on";
        return nullptr;
    }
    return cache;
}

// False when not one worker of the kind could start.
bool CopcNodeCache::startWorkers(int count, void (CopcNodeCache::*loop)()) {
    int started = 0;
    for (int i = 0; i < std::max(count, 1); ++i) {
        std::unique_ptr<PoolTask> worker(new (std::nothrow) PoolTask);
        if (worker && worker->start([this, loop] { (this->*loop)(); })) {
            workers_.push_back(std::move(worker));
            ++started;
        }
    }
    return started > 0;
}

CopcNodeCache::~CopcNodeCache() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        pages_.clear();
    }
    queued_.notify_all();
    fetchedReady_.notify_all();
    for (std::unique_ptr<PoolTask>& worker : workers_)
        worker->wait();
}

bool CopcNodeCache::decodeNode(StreamedNodeDecoder& decoder, const CopcNode& node,
                               CachedNode& decoded, std::string& error,
                               std::vector<uint8_t>* fetched) const {
    PointAttributes* attributes = octree_->attributes() ? &decoded.attributes : nullptr;
    if (!decoder.decode(node, fetched, decoded.points, attributes, error))
        return false;
    colourPoints(decoded.points);
    return true;
}

void CopcNodeCache::colourPoints(std::vector<PointRecord>& points) const {
    if (intensity_)
        intensityToGrey(points, intensityLow_, intensityScale_);
    else if (colour_ == ColourKind::None)
        for (PointRecord& p : points)
            heightRampColour(heightScale_ > 0.0f ? (p.z - heightLow_) * heightScale_ : 0.5f, p);
}

bool CopcNodeCache::readQueuedPage(std::unique_lock<std::mutex>& lock) {
    if (pages_.empty())
        return false;
    const CopcKey page = pages_.front();
    pages_.pop_front();
    ++pagesReading_;
    lock.unlock();
    octree_->readPage(page);
    lock.lock();
    --pagesReading_;
    ++pagesArrived_;
    arrived_.notify_all();
    return true;
}

void CopcNodeCache::work() {
    const std::unique_ptr<StreamedNodeDecoder> decoder = octree_->decoder(shift_);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty() || !pages_.empty(); });
        if (stopping_)
            return;
        // A page holds up the walk below it, and with it every node there.
        if (readQueuedPage(lock))
            continue;
        const CopcNode node = queue_.front();
        queue_.pop_front();
        inProgress_.insert(node.key);
        lock.unlock();
        Arrival arrival;
        arrival.key = node.key;
        arrival.ok = decoder && decodeNode(*decoder, node, arrival.node, arrival.error);
        if (!decoder)
            arrival.error = "node " + node.key.text() + ": not enough memory to decode it";
        lock.lock();
        inProgress_.erase(node.key);
        arrivals_.push_back(std::move(arrival));
        arrived_.notify_all();
    }
}

// A fetching worker: reads the most wanted chunk and leaves it to the decoders.
void CopcNodeCache::fetch() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty() || !pages_.empty(); });
        if (stopping_)
            return;
        if (readQueuedPage(lock))
            continue;
        Fetched fetched;
        fetched.node = queue_.front();
        queue_.pop_front();
        inProgress_.insert(fetched.node.key);
        const int64_t bytes = octree_->fetchBytes(fetched.node);
        ++fetching_.nodes;
        fetching_.bytes += bytes;
        lock.unlock();
        fetched.ok = octree_->fetch(fetched.node, fetched.chunk, fetched.error);
        lock.lock();
        --fetching_.nodes;
        fetching_.bytes -= bytes;
        fetched_.push_back(std::move(fetched));
        fetchedReady_.notify_one();
    }
}

// A decoding worker behind the fetching ones.
void CopcNodeCache::decode() {
    const std::unique_ptr<StreamedNodeDecoder> decoder = octree_->decoder(shift_);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        fetchedReady_.wait(lock, [this] { return stopping_ || !fetched_.empty(); });
        if (stopping_)
            return;
        Fetched fetched = std::move(fetched_.front());
        fetched_.pop_front();
        lock.unlock();
        Arrival arrival;
        arrival.key = fetched.node.key;
        arrival.ok = fetched.ok;
        arrival.error = std::move(fetched.error);
        if (fetched.ok && !decoder) {
            arrival.ok = false;
            arrival.error = "node " + fetched.node.key.text() + ": not enough memory to decode it";
        } else if (fetched.ok) {
            arrival.ok =
                decodeNode(*decoder, fetched.node, arrival.node, arrival.error, &fetched.chunk);
        }
        lock.lock();
        inProgress_.erase(arrival.key);
        arrivals_.push_back(std::move(arrival));
        arrived_.notify_all();
    }
}

CachedNode* CopcNodeCache::find(const CopcKey& key) {
    const auto found = held_.find(key);
    return found == held_.end() ? nullptr : &found->second;
}

void CopcNodeCache::want(const std::vector<CopcNode>& nodes, int64_t serial) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        for (const CopcNode& node : nodes) {
            if (node.points == 0 || held_.count(node.key) || lost_.count(node.key))
                continue;
            wantedAt_[node.key] = serial;
            // Decoded and not yet collected counts as in progress.
            const bool arrived =
                std::any_of(arrivals_.begin(), arrivals_.end(),
                            [&](const Arrival& arrival) { return arrival.key == node.key; });
            if (!inProgress_.count(node.key) && !arrived)
                queue_.push_back(node);
        }
    }
    queued_.notify_all();
}

void CopcNodeCache::readPages(const std::vector<CopcKey>& pages) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const CopcKey& page : pages)
            if (pagesAsked_.insert(page).second)
                pages_.push_back(page);
    }
    queued_.notify_all();
}

size_t CopcNodeCache::collect(int64_t keepSerial, std::vector<std::string>& damage) {
    std::vector<Arrival> arrivals;
    std::vector<int64_t> wantedAt;
    size_t taken = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken = pagesArrived_;
        pagesArrived_ = 0;
        arrivals.swap(arrivals_);
        for (const Arrival& arrival : arrivals) {
            const auto found = wantedAt_.find(arrival.key);
            wantedAt.push_back(found == wantedAt_.end() ? 0 : found->second);
            if (found != wantedAt_.end())
                wantedAt_.erase(found);
        }
    }
    for (size_t i = 0; i < arrivals.size(); ++i) {
        Arrival& arrival = arrivals[i];
        if (!arrival.ok) {
            lost_.insert(arrival.key);
            damage.push_back(arrival.error);
            continue;
        }
        CachedNode& node = held_[arrival.key];
        heldPoints_ += static_cast<int64_t>(arrival.node.points.size()) -
                       static_cast<int64_t>(node.points.size());
        node.points = std::move(arrival.node.points);
        node.attributes = std::move(arrival.node.attributes);
        node.lastDrawn = wantedAt[i];
        node.id = ++lastId_;
        ++taken;
    }
    if (heldPoints_ <= budgetPoints_)
        return taken;
    std::vector<std::pair<int64_t, CopcKey>> byAge;
    for (const auto& entry : held_)
        if (entry.second.lastDrawn < keepSerial)
            byAge.emplace_back(entry.second.lastDrawn, entry.first);
    std::sort(byAge.begin(), byAge.end());
    for (const auto& entry : byAge) {
        if (heldPoints_ <= budgetPoints_)
            break;
        const auto found = held_.find(entry.second);
        heldPoints_ -= static_cast<int64_t>(found->second.points.size());
        held_.erase(found);
    }
    return taken;
}

FetchProgress CopcNodeCache::fetching() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetching_;
}

bool CopcNodeCache::idle() const {
    return queue_.empty() && inProgress_.empty() && pages_.empty() && pagesReading_ == 0;
}

bool CopcNodeCache::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !idle() || !arrivals_.empty() || pagesArrived_ > 0;
}

void CopcNodeCache::waitForArrival() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !arrivals_.empty() || pagesArrived_ > 0 || idle(); });
}
