// net/http_client.h - HTTP GETs from many threads, carried by one transfer thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpOptions {
    int connectTimeoutMs = 10000;
    int stallTimeoutMs = 30000; // an attempt that receives nothing for this long has timed out
    int retries = 3;            // further tries after a transient failure
    int backoffMs = 250;        // pause before the first retry; doubles for each next one
    int maxConnections = 8;     // requests on the wire at once; the rest wait their turn
    int64_t maxWholeBytes = int64_t(1) << 30; // a whole-resource fetch refuses more
    std::string caFile; // certificates trusted for https beyond the system's (a test's own)
};

// Figures for a status line. inFlight and waiting are requests now; the rest count from the
// client's start; bytesPerSecond is over the last two seconds.
struct HttpStats {
    int64_t bytesReceived = 0;
    int64_t requests = 0; // attempts sent, retries included
    int64_t retries = 0;
    int64_t connectionsOpened = 0;
    int inFlight = 0;
    int waiting = 0;
    double bytesPerSecond = 0;
};

// One GET: a range of a resource (length >= 0) or all of it (length -1), and what came back.
struct HttpRequest {
    std::string url;
    int64_t offset = 0;
    int64_t length = -1;
    // A range request past the end, or a resource smaller than the range, gives the bytes there
    // are instead of failing: for a first read that learns the size.
    bool allowShort = false;
    // A server that ignores the range may answer with the whole resource instead: it is kept,
    // and totalSize is its size. For a first read that needs the whole file in the end anyway.
    bool orWhole = false;

    bool ok = false;
    std::vector<uint8_t> body;
    int64_t totalSize = -1; // the resource's size, when the answer tells it
    std::string validator;  // the answer's ETag, else its Last-Modified; empty when neither
    std::string error;      // "URL: reason", one line
};

// Keeps up to maxConnections GETs on the wire over reused connections, retries transient
// failures with growing pauses and counts what passes. Requests come from any thread and block
// their caller until answered; the transfers themselves all run on the client's own thread.
class HttpClient {
public:
    // nullptr with a reason when libcurl cannot be set up.
    static std::shared_ptr<HttpClient> create(const HttpOptions& options, std::string& error);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends all of `requests` at once (within maxConnections) and returns when each is answered.
    void perform(HttpRequest* requests, size_t count);

    bool fetchRange(const std::string& url, int64_t offset, int64_t length,
                    std::vector<uint8_t>& out, std::string& error);
    bool fetchWhole(const std::string& url, std::vector<uint8_t>& out, std::string& error);

    // Answers every request in progress or still to come at once as cancelled: for a program
    // that ends while its workers wait on a slow server.
    void cancelAll();

    HttpStats stats() const;
    const HttpOptions& options() const { return options_; }

    // One request in the transfer thread's hands; public only for libcurl's callbacks.
    struct Transfer;

private:
    explicit HttpClient(const HttpOptions& options);
    void run();
    void startWaiting();
    void start(Transfer* transfer, void* easy);
    void finish(Transfer* transfer, int curlCode);
    void complete(Transfer* transfer);
    void checkStalls();
    void received(int64_t bytes);

    const HttpOptions options_;
    const std::string noProxy_; // hosts reached directly whatever proxy is set
    void* multi_ = nullptr;     // CURLM*, touched by the transfer thread only (and wakeup)

    // Shared with the calling threads.
    mutable std::mutex mutex_;
    std::vector<Transfer*> incoming_;
    bool stopping_ = false;

    // The transfer thread's own.
    std::deque<Transfer*> waiting_;
    std::vector<Transfer*> delayed_; // retries, each with its start time
    std::vector<Transfer*> active_;
    std::vector<void*> idleHandles_; // CURL* kept for the next transfer

    // Counters, read by stats() from any thread.
    mutable std::mutex statsMutex_;
    HttpStats stats_;
    int64_t rateBuckets_[20] = {};
    int64_t rateBucketAt_ = 0; // index of the newest bucket, in tenths of a second

    std::thread thread_;
};

// The client the program shares, made on first use with default options or those set before;
// nullptr if libcurl could not be set up.
std::shared_ptr<HttpClient> sharedHttpClient();
// The shared client's options, for a program's command line; no effect once it has been made.
void setSharedHttpOptions(const HttpOptions& options);
// --timeout's value: seconds above 0 up to a day, in decimals alone ("2.5"), as milliseconds
// (at least 1, since 0 would mean no limit); false for anything else.
bool parseTimeoutSeconds(const char* text, int& milliseconds);

// A whole resource through the shared client (EPT's JSON and node files).
bool fetchWhole(const std::string& url, std::vector<uint8_t>& out, std::string& error);
