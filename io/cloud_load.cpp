// io/cloud_load.cpp - running a reader, holding back until its header is accepted, and turning
// its result into messages and a cloud.
#include "io/cloud_load.h"

#include "io/colouring.h"
#include "io/file_signatures.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The signatures and resemblance checks look at no more than this.
constexpr size_t kHeadBytes = 4096;

// "a PLY file", "an E57 file".
std::string withArticle(const char* noun) {
    return (std::strchr("AEIOU", noun[0]) ? "an " : "a ") + std::string(noun);
}

} // namespace

CloudLoad::~CloudLoad() {
    worker_.wait();
}

void CloudLoad::refuseHere(ReadStatus status, const std::string& message) {
    result_.status = status;
    result_.message = message;
    finished_.store(true, std::memory_order_release);
}

void CloudLoad::begin(const char* path, Place place) {
    path_ = path;
    progress_.start();
    const MappedFile::Opened opened = file_.open(path);
    if (opened == MappedFile::Opened::CannotOpen)
        return refuseHere(ReadStatus::CannotOpen, std::string());
    if (opened == MappedFile::Opened::Directory)
        return refuseHere(ReadStatus::Refused, path_ + ": is a directory");
    if (opened == MappedFile::Opened::NullDevice)
        return refuseHere(ReadStatus::Refused, path_ + ": empty file");
    const bool mapped = opened == MappedFile::Opened::Mapped;
    // A format with a header has nothing to show in no bytes. An empty file of another name
    // opens as an empty native cloud, as it always has.
    const FormatEntry* named = formatByExtension(path);
    if (mapped && file_.size() == 0 && named && named->signature)
        return refuseHere(ReadStatus::Refused, path_ + ": empty file");
    const size_t headSize = std::min(file_.size(), kHeadBytes);
    entry_ = pickFormat(path, file_.data(), headSize, mapped);
    if (!entry_)
        return refuseHere(ReadStatus::Refused,
                          path_ + ": unknown format (not a point file this program reads; it " +
                              "starts with " + describeHead(file_.data(), headSize) + ")");
    start(place);
}

void CloudLoad::beginWith(const char* name, const FormatEntry& entry,
                          std::function<ReadResult(const ReadRequest&)> read, Place place) {
    path_ = name;
    progress_.start();
    entry_ = &entry;
    reader_ = std::move(read);
    start(place);
}

void CloudLoad::start(Place place) {
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
    ReadResult result = reader_ ? reader_(request) : entry_->read(request);
    if (result.status == ReadStatus::Refused)
        result.message = refusalLine(result.message);
    // A cloud is counted in 32 bits; records beyond that are not shown.
    if (result.status == ReadStatus::Read && result.count > INT32_MAX) {
        const int64_t count = result.count;
        releasePoints(result.points);
        result = ReadResult();
        result.status = ReadStatus::CannotAllocate;
        result.message = "not enough room for " + std::to_string(count) +
                         " points: a cloud holds at most " + std::to_string(INT32_MAX);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = std::move(result);
        finished_.store(true, std::memory_order_release);
        changed_.notify_all();
    }
}

std::string CloudLoad::refusalLine(const std::string& reason) const {
    const size_t headSize = std::min(file_.size(), kHeadBytes);
    const unsigned char* head = file_.data();
    // Picked by its extension alone: what the file holds says more than the reader's reason.
    if (entry_->signature && file_.size() > 0 && !entry_->signature(head, headSize))
        return path_ + ": not " + withArticle(entry_->noun) + ": " + entry_->missingSignature +
               "; it starts with " + describeHead(head, headSize);
    std::string line = path_ + ": " + entry_->noun + ", " + reason;
    if (hasForeignSignature(head, headSize))
        line += " (it starts with " + describeHead(head, headSize) + ")";
    return line;
}

bool CloudLoad::reportRefusal() const {
    if (!refused())
        return false;
    const bool native = entry_ == nullptr || entry_->format == Format::Native;
    if (result_.status == ReadStatus::CannotOpen ||
        (result_.status == ReadStatus::CannotAllocate && native)) {
        // The native format's messages, and a file that can't be opened, say what they always
        // have.
        if (result_.status == ReadStatus::CannotOpen)
            std::printf("ERROR: unable to open file %s!\n", path_.c_str());
        else
            std::printf("Not Enough memory to allocate the point the structure\n");
        std::fflush(stdout);
        return true;
    }
    std::fflush(stdout);
    if (result_.status == ReadStatus::CannotAllocate)
        std::fprintf(stderr, "%s: %s, %s\n", path_.c_str(), entry_->noun,
                     result_.message.empty() ? "not enough memory for the points"
                                             : result_.message.c_str());
    else
        std::fprintf(stderr, "%s\n", result_.message.c_str());
    return true;
}

void CloudLoad::exitIfRefused() const {
    if (reportRefusal())
        std::exit(1);
}

bool CloudLoad::waitForRecords(int64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return finished() || recordsReady() >= count; });
    return recordsReady() >= count ||
           (result_.status == ReadStatus::Read && result_.count >= count);
}

void CloudLoad::finish(PointCloud& cloud, bool colourStandIns) {
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
    if (colourStandIns)
        applyColourKind(result_);
    cloud.points = result_.points;
    cloud.count = static_cast<int32_t>(result_.count);
    cloud.format = entry_ ? entry_->format : Format::Native;
    cloud.formatDescription = result_.format;
    cloud.colour = result_.colour;
    cloud.dropped = result_.dropped;
    cloud.shifted = result_.shifted;
    std::copy(result_.shift, result_.shift + 3, cloud.shift);
    cloud.colourNote = std::move(result_.colourNote);
    cloud.warnings = std::move(result_.warnings);
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
