// io/cloud_load.cpp - running a reader, holding back until its header is accepted, and turning
// its result into messages and a cloud.
#include "io/cloud_load.h"

#include "io/colouring.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// The signatures and resemblance checks look at no more than this.
constexpr size_t kHeadBytes = 4096;

} // namespace

CloudLoad::~CloudLoad() {
    worker_.wait();
}

void CloudLoad::begin(const char* path, Place place) {
    path_ = path;
    progress_.start();
    const MappedFile::Opened opened = file_.open(path);
    if (opened == MappedFile::Opened::CannotOpen) {
        result_.status = ReadStatus::CannotOpen;
        finished_.store(true, std::memory_order_release);
        return;
    }
    const bool mapped = opened == MappedFile::Opened::Mapped;
    entry_ = pickFormat(path, file_.data(), std::min(file_.size(), kHeadBytes), mapped);
    if (!entry_) {
        result_.status = ReadStatus::Refused;
        result_.message = path_ + ": unknown format (not a point file this program reads)";
        finished_.store(true, std::memory_order_release);
        return;
    }
    everyCore_ = place != Place::WorkerOneCore;
    threaded_ = place != Place::Here && worker_.start([this] { read(); });
    if (!threaded_) {
        everyCore_ = true;
        read();
        return;
    }
    joined_ = false;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return accepted_ || finished(); });
}

void CloudLoad::read() {
    ReadRequest request;
    request.path = path_.c_str();
    request.bytes = file_.data();
    request.size = file_.size();
    // A worker on one core leaves the others to the caller, which works meanwhile.
    request.threads = everyCore_ ? usableCores() : 1;
    request.headerAccepted = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        accepted_ = true;
        changed_.notify_all();
    };
    request.recordsFinal = [this](const PointRecord* records, int64_t ready) {
        records_.store(records, std::memory_order_release);
        ready_.store(ready, std::memory_order_release);
        // finish may be summing the box of the final records meanwhile.
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    };
    request.progress = [this](const ReadProgress& read) { progress_.update(read); };
    ReadResult result = entry_->read(request);
    if (result.status == ReadStatus::Refused)
        result.message = path_ + ": " + entry_->noun + ", " + result.message;
    // A cloud is counted in 32 bits; records beyond that are not shown.
    if (result.status == ReadStatus::Read && result.count > INT32_MAX) {
        releasePoints(result.points);
        result = ReadResult();
        result.status = ReadStatus::CannotAllocate;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = std::move(result);
        finished_.store(true, std::memory_order_release);
        changed_.notify_all();
    }
}

void CloudLoad::exitIfRefused() const {
    if (!refused())
        return;
    switch (result_.status) {
        case ReadStatus::CannotOpen:
            std::printf("ERROR: unable to open file %s!\n", path_.c_str());
            break;
        case ReadStatus::CannotAllocate:
            std::printf("Not Enough memory to allocate the point the structure\n");
            break;
        default:
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", result_.message.c_str());
            break;
    }
    std::exit(1);
}

bool CloudLoad::waitForRecords(int64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return finished() || recordsReady() >= count; });
    return recordsReady() >= count ||
           (result_.status == ReadStatus::Read && result_.count >= count);
}

void CloudLoad::finish(PointCloud& cloud) {
    // While a worker reads, the box of the records it has made final is summed here, so that
    // little of it is left once the read ends.
    BoundsSum bounds;
    const PointRecord* summed = nullptr;
    int64_t summedTo = 0;
    if (!joined_) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!finished()) {
            const PointRecord* records = this->records();
            const int64_t ready = recordsReady();
            if (records == nullptr || ready <= summedTo || (summed && records != summed)) {
                changed_.wait(lock);
                continue;
            }
            lock.unlock();
            bounds.add(records, summedTo, ready);
            summed = records;
            summedTo = ready;
            lock.lock();
        }
        lock.unlock();
        worker_.wait();
        joined_ = true;
    }
    progress_.finish();
    exitIfRefused();
    if (!result_.message.empty() ||
        (result_.expected >= 0 && result_.count + result_.dropped < result_.expected)) {
        std::string line = path_ + ": ";
        if (result_.expected >= 0)
            line += "expected " + std::to_string(result_.expected) + " points, read " +
                    std::to_string(result_.count + result_.dropped);
        if (!result_.message.empty())
            line += (result_.expected >= 0 ? " (" : "") + result_.message +
                    (result_.expected >= 0 ? ")" : "");
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    applyColourKind(result_);
    cloud.points = result_.points;
    cloud.count = static_cast<int32_t>(result_.count);
    cloud.format = entry_ ? entry_->format : Format::Native;
    cloud.formatDescription = result_.format;
    cloud.colour = result_.colour;
    cloud.dropped = result_.dropped;
    cloud.shifted = result_.shifted;
    std::copy(result_.shift, result_.shift + 3, cloud.shift);
    std::copy(result_.precision, result_.precision + 3, cloud.precision);
    cloud.organised = result_.organised;
    cloud.viewpoint = result_.viewpoint;
    cloud.attributes = std::move(result_.attributes);
    result_.points = nullptr;
    // Records the reader moved or dropped after calling them final are summed afresh.
    if (summed != cloud.points || summedTo > cloud.count) {
        bounds = BoundsSum();
        summedTo = 0;
    }
    // The reader's box is the cloud's when every record in it is finite. A record stored beyond
    // float's range is in that box but not in the cloud's, which is then gathered here.
    if (result_.box && summedTo == 0) {
        bounds.addToCentroid(cloud.points, 0, cloud.count);
        if (bounds.used() == cloud.count) {
            bounds.takeBox(result_.box->low, result_.box->high);
            bounds.applyTo(cloud);
            return;
        }
        bounds = BoundsSum();
    }
    bounds.add(cloud.points, summedTo, cloud.count);
    bounds.applyTo(cloud);
}

void loadCloudOrExit(const char* path, PointCloud& cloud) {
    CloudLoad load;
    load.begin(path, CloudLoad::Place::Here);
    load.finish(cloud);
}
