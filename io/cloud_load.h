// io/cloud_load.h - one load of a point file: the pick of its reader, the read (on a worker
// thread or the caller's), and what the user is told.
#pragma once

#include "io/formats.h"
#include "io/load_progress.h"
#include "io/mapped_file.h"
#include "io/point_cloud.h"
#include "io/read_result.h"
#include "threads/worker_pool.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// The state of one load, from begin to finish. A refusal is known when begin returns, before the
// body is read, so that the caller can say so before it opens any window. Messages are the
// loading code's alone: the native format's exact texts on standard output, every other
// failure and shortfall as one line on standard error.
class CloudLoad {
public:
    CloudLoad() = default;
    ~CloudLoad();
    CloudLoad(const CloudLoad&) = delete;
    CloudLoad& operator=(const CloudLoad&) = delete;

    // Where begin runs the reader, and on how many cores (usableCores).
    enum class Place {
        Here,            // on the caller's thread, with every core
        WorkerOneCore,   // on a pool thread with one core, the caller working on the others
        WorkerEveryCore, // on a pool thread with every core, the caller mostly waiting meanwhile
    };
    // Maps the file, picks its reader and runs it where place says. Returns once the reader
    // has accepted the header or has finished.
    void begin(const char* path, Place place);
    // Like begin, for what is not a local file (a URL): entry is its format, read reads it
    // (getting a request without bytes).
    void beginWith(const char* name, const FormatEntry& entry,
                   std::function<ReadResult(const ReadRequest&)> read, Place place);
    // After begin: whether the file cannot be read at all, and the result that says why.
    bool refused() const { return finished() && result_.status != ReadStatus::Read; }
    const ReadResult& result() const { return result_; }
    // Prints the refusal's message: the native format's exact texts on standard output, every
    // other as one line on standard error. False, printing nothing, when the file is not
    // refused.
    bool reportRefusal() const;
    // Prints the refusal's message and ends the process with status 1; returns when the file
    // is not refused.
    void exitIfRefused() const;
    // While the read goes on: whether it has ended, and the records of it that are final.
    bool threaded() const { return threaded_; }
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    const PointRecord* records() const { return records_.load(std::memory_order_acquire); }
    int64_t recordsReady() const { return ready_.load(std::memory_order_acquire); }
    // Waits until the read has made count records final or has ended; whether the cloud has
    // at least count records.
    bool waitForRecords(int64_t count);
    // Waits for the read, reports a read cut short on standard error, colours the points and
    // hands them to cloud with the box and centroid computed. Once; after a refusal it exits.
    // Without colourStandIns the points of a file without colours keep what the reader left
    // (see ColourKind) for the caller to colour: a scene ramps its files together.
    void finish(PointCloud& cloud, bool colourStandIns = true);
    const FormatEntry* format() const { return entry_; }

private:
    void start(Place place);
    void read();
    // Ends begin with the file refused before any reader ran.
    void refuseHere(ReadStatus status, const std::string& message);
    // The one line a reader's refusal becomes: the file, its format and the reason, or what the
    // file holds instead when it lacks the format's signature.
    std::string refusalLine(const std::string& reason) const;

    std::string path_;
    const FormatEntry* entry_ = nullptr;
    std::function<ReadResult(const ReadRequest&)> reader_; // instead of entry_'s, when set
    MappedFile file_;
    ReadResult result_;
    LoadProgress progress_;
    PoolTask worker_;
    bool threaded_ = false;
    bool everyCore_ = false;
    bool joined_ = true;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool accepted_ = false;
    std::atomic<bool> finished_{false};
    std::atomic<const PointRecord*> records_{nullptr};
    std::atomic<int64_t> ready_{0};
};

// One whole load on this thread into cloud; a refusal prints its message and exits with 1.
void loadCloudOrExit(const char* path, PointCloud& cloud);
