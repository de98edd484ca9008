// io/copc/copc_node_cache.cpp - the workers' queue, the held nodes and their eviction.
#include "io/copc/copc_node_cache.h"

#include "io/byte_source.h"
#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_points.h"
#include "io/las/las_record.h"

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
    std::unique_ptr<CopcNodeCache> cache(new (std::nothrow) CopcNodeCache);
    if (!cache) {
        error = "not enough memory";
        return nullptr;
    }
    cache->file_ = CopcFile::open(std::move(source), error);
    if (!cache->file_)
        return nullptr;
    cache->shifted_ = chooseCopcShift(*cache->file_, cache->shift_);
    cache->intensity_ = cache->file_->las().rgbOffset < 0;

    CopcNode root;
    CachedNode first;
    std::string reason;
    std::vector<std::string> damage;
    if (cache->file_->hierarchy().find(CopcKey{}, root) && root.points > 0) {
        CopcNodeDecoder decoder(*cache->file_, LazFields::Viewer);
        // The root samples the whole cloud: its intensities give every node's grey scale.
        cache->intensity_ = false;
        if (cache->decodeNode(decoder, root, first.points, first.attributes, reason)) {
            if (cache->file_->las().rgbOffset < 0) {
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
            cache->intensity_ = cache->file_->las().rgbOffset < 0;
            cache->lost_.insert(root.key);
            cache->arrivals_.push_back({root.key, {}, {}, false, reason});
        }
    }
    const uint64_t perPoint =
        uint64_t(pointBytes(cache->file_->las().pointFormat)) + extraBytesPerPoint;
    const int64_t budget =
        static_cast<int64_t>(std::min<uint64_t>(memoryBytes / perPoint, INT64_MAX));
    cache->budgetPoints_ = std::max(budget, cache->heldPoints_);

    for (int i = 0; i < std::max(threads, 1); ++i) {
        std::unique_ptr<PoolTask> worker(new (std::nothrow) PoolTask);
        CopcNodeCache* self = cache.get();
        if (worker && worker->start([self] { self->work(); }))
            cache->workers_.push_back(std::move(worker));
    }
    if (cache->workers_.empty()) {
        error = "no thread to decode its nodes on";
        return nullptr;
    }
    return cache;
}

CopcNodeCache::~CopcNodeCache() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    queued_.notify_all();
    for (std::unique_ptr<PoolTask>& worker : workers_)
        worker->wait();
}

bool CopcNodeCache::decodeNode(CopcNodeDecoder& decoder, const CopcNode& node,
                               std::vector<PointRecord>& points, PointAttributes& attributes,
                               std::string& error) const {
    const uint8_t* records = decoder.decodeRecords(node, error);
    if (!records)
        return false;
    points.resize(node.points);
    CopcPointConverter(*file_, shift_).convert(records, node.points, points.data());
    const LasLayout& las = file_->las();
    const LasAttributeConversion conversion(las.pointFormat);
    conversion.startColumns(attributes, las.globalEncoding, node.points);
    const LasAttributeConversion::Columns columns = LasAttributeConversion::columnsOf(attributes);
    for (uint64_t i = 0; i < node.points; ++i)
        conversion.convert(records + i * las.recordLength, columns, size_t(i));
    if (intensity_)
        intensityToGrey(points, intensityLow_, intensityScale_);
    return true;
}

void CopcNodeCache::work() {
    CopcNodeDecoder decoder(*file_, LazFields::Viewer);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            return;
        const CopcNode node = queue_.front();
        queue_.pop_front();
        inProgress_.insert(node.key);
        lock.unlock();
        Arrival arrival;
        arrival.key = node.key;
        arrival.ok = decodeNode(decoder, node, arrival.points, arrival.attributes, arrival.error);
        lock.lock();
        inProgress_.erase(node.key);
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

size_t CopcNodeCache::collect(int64_t keepSerial, std::vector<std::string>& damage) {
    std::vector<Arrival> arrivals;
    std::vector<int64_t> wantedAt;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        arrivals.swap(arrivals_);
        for (const Arrival& arrival : arrivals) {
            const auto found = wantedAt_.find(arrival.key);
            wantedAt.push_back(found == wantedAt_.end() ? 0 : found->second);
            if (found != wantedAt_.end())
                wantedAt_.erase(found);
        }
    }
    size_t taken = 0;
    for (size_t i = 0; i < arrivals.size(); ++i) {
        Arrival& arrival = arrivals[i];
        if (!arrival.ok) {
            lost_.insert(arrival.key);
            damage.push_back(arrival.error);
            continue;
        }
        CachedNode& node = held_[arrival.key];
        heldPoints_ +=
            static_cast<int64_t>(arrival.points.size()) - static_cast<int64_t>(node.points.size());
        node.points = std::move(arrival.points);
        node.attributes = std::move(arrival.attributes);
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

bool CopcNodeCache::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !queue_.empty() || !inProgress_.empty() || !arrivals_.empty();
}

void CopcNodeCache::waitForArrival() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock,
                  [this] { return !arrivals_.empty() || (queue_.empty() && inProgress_.empty()); });
}
