// net/http_client.cpp - HTTP GETs from many threads, carried by one transfer thread.
#include "net/http_client.h"

#include "net/http_outcome.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;

int64_t millisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// The callers of one perform(), told when the last of their requests is answered.
struct Batch {
    std::condition_variable done;
    size_t left = 0;
};

// "bytes FIRST-LAST/TOTAL" or "bytes */TOTAL"; TOTAL may be "*" (unknown, -1).
bool parseContentRange(const char* text, int64_t& first, int64_t& last, int64_t& total) {
    first = last = total = -1;
    if (std::strncmp(text, "bytes ", 6) != 0)
        return false;
    const char* slash = std::strchr(text, '/');
    if (!slash)
        return false;
    if (slash[1] != '*' && std::sscanf(slash + 1, "%" SCNd64, &total) != 1)
        return false;
    if (text[6] == '*')
        return true;
    return std::sscanf(text + 6, "%" SCNd64 "-%" SCNd64, &first, &last) == 2 && first <= last;
}

// Loopback never goes through a proxy, whatever the environment names for the rest.
std::string noProxyList() {
    const char* fromEnvironment = std::getenv("no_proxy");
    if (!fromEnvironment)
        fromEnvironment = std::getenv("NO_PROXY");
    std::string list = fromEnvironment ? fromEnvironment : "";
    if (!list.empty())
        list += ",";
    return list + "localhost,127.0.0.1,::1";
}

} // namespace

// --- One transfer and libcurl's callbacks ---

// One request's journey through its attempts. Once submitted, only the transfer thread touches
// it until complete() hands the request back.
struct HttpClient::Transfer {
    HttpClient* client = nullptr;
    HttpRequest* request = nullptr;
    Batch* batch = nullptr;
    CURL* easy = nullptr;
    int tries = 0;
    HttpAttempt attempt;
    bool headersJudged = false;
    bool discard = false; // an error page: counted, not kept
    bool whole = false;   // the whole resource, answering a range (HttpRequest::orWhole)
    Clock::time_point startAt;
    Clock::time_point lastByteAt;
    std::string range;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    bool judgeHeaders();
    bool take(const char* data, size_t size);
};

// Looks at the response once its headers are in: false stops the transfer (a server that
// ignores the range would otherwise send the whole file).
bool HttpClient::Transfer::judgeHeaders() {
    headersJudged = true;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    attempt.status = status;
    if (status >= 300) {
        discard = true;
        return true;
    }
    curl_off_t contentLength = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength);
    HttpRequest& asked = *request;
    curl_header* validator = nullptr;
    if (curl_easy_header(easy, "ETag", 0, CURLH_HEADER, -1, &validator) == CURLHE_OK ||
        curl_easy_header(easy, "Last-Modified", 0, CURLH_HEADER, -1, &validator) == CURLHE_OK)
        asked.validator = validator->value;
    if (asked.length < 0) {
        attempt.expected = contentLength;
        request->totalSize = contentLength;
        if (contentLength > client->options_.maxWholeBytes) {
            attempt.tooLarge = true;
            return false;
        }
    } else if (status == 206) {
        curl_header* header = nullptr;
        int64_t first, last, total;
        if (curl_easy_header(easy, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK ||
            !parseContentRange(header->value, first, last, total) || first != asked.offset ||
            last - first + 1 > asked.length) {
            attempt.wrongRange = true;
            return false;
        }
        request->totalSize = total;
        attempt.expected = asked.allowShort ? last - first + 1 : asked.length;
    } else if (asked.offset == 0 && contentLength >= 0 && contentLength <= asked.length) {
        // The whole resource fits in the range asked: a plain 200 is as good as a 206.
        request->totalSize = contentLength;
        attempt.expected = asked.allowShort ? contentLength : asked.length;
    } else if (asked.orWhole && status == 200) {
        whole = true;
        attempt.length = -1;
        attempt.expected = contentLength;
        request->totalSize = contentLength;
        if (contentLength > client->options_.maxWholeBytes) {
            attempt.tooLarge = true;
            return false;
        }
    } else {
        attempt.ignoresRanges = true;
        return false;
    }
    if (attempt.expected > 0)
        request->body.reserve(size_t(attempt.expected));
    return true;
}

bool HttpClient::Transfer::take(const char* data, size_t size) {
    lastByteAt = Clock::now();
    if (!headersJudged && !judgeHeaders())
        return false;
    client->received(int64_t(size));
    if (discard)
        return true;
    std::vector<uint8_t>& body = request->body;
    const bool ranged = request->length >= 0 && !whole;
    const int64_t limit = ranged ? request->length : client->options_.maxWholeBytes;
    if (int64_t(body.size() + size) > limit) {
        if (ranged)
            attempt.wrongRange = true;
        else
            attempt.tooLarge = true;
        return false;
    }
    body.insert(body.end(), data, data + size);
    return true;
}

namespace {

size_t onBody(char* data, size_t, size_t size, void* transfer) {
    return static_cast<HttpClient::Transfer*>(transfer)->take(data, size) ? size : 0;
}

size_t onHeader(char*, size_t, size_t size, void* transfer) {
    static_cast<HttpClient::Transfer*>(transfer)->lastByteAt = Clock::now();
    return size;
}

std::once_flag curlSetUp;
CURLcode curlSetUpResult = CURLE_OK;

} // namespace

// --- The client, and requests from any thread ---

HttpClient::HttpClient(const HttpOptions& options) : options_(options), noProxy_(noProxyList()) {}

std::shared_ptr<HttpClient> HttpClient::create(const HttpOptions& options, std::string& error) {
    // curl_global_init is not thread-safe: once, before any transfer thread exists.
    std::call_once(curlSetUp, [] { curlSetUpResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (curlSetUpResult != CURLE_OK) {
        error = std::string("HTTP: cannot set up libcurl: ") + curl_easy_strerror(curlSetUpResult);
        return nullptr;
    }
    std::shared_ptr<HttpClient> client(new (std::nothrow) HttpClient(options));
    if (client)
        client->multi_ = curl_multi_init();
    if (!client || !client->multi_) {
        error = "HTTP: out of memory";
        return nullptr;
    }
    CURLM* multi = client->multi_;
    const long connections = std::max(1, options.maxConnections);
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, connections);
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, connections);
    client->thread_ = std::thread([raw = client.get()] { raw->run(); });
    return client;
}

void HttpClient::cancelAll() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
}

HttpClient::~HttpClient() {
    if (thread_.joinable()) {
        cancelAll();
        thread_.join();
    }
    for (void* easy : idleHandles_)
        curl_easy_cleanup(easy);
    if (multi_)
        curl_multi_cleanup(multi_);
}

void HttpClient::perform(HttpRequest* requests, size_t count) {
    Batch batch;
    std::vector<std::unique_ptr<Transfer>> transfers;
    transfers.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        HttpRequest& request = requests[i];
        request.ok = request.length == 0;
        request.body.clear();
        request.error.clear();
        request.totalSize = -1;
        request.validator.clear();
        if (request.ok)
            continue;
        std::unique_ptr<Transfer> transfer(new (std::nothrow) Transfer);
        if (!transfer) {
            request.error = request.url + ": out of memory";
            continue;
        }
        transfer->client = this;
        transfer->request = &request;
        transfer->batch = &batch;
        transfers.push_back(std::move(transfer));
    }
    if (transfers.empty())
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) {
        for (auto& transfer : transfers)
            transfer->request->error = transfer->request->url + ": cancelled";
        return;
    }
    batch.left = transfers.size();
    for (auto& transfer : transfers)
        incoming_.push_back(transfer.get());
    curl_multi_wakeup(multi_);
    batch.done.wait(lock, [&] { return batch.left == 0; });
}

bool HttpClient::fetchRange(const std::string& url, int64_t offset, int64_t length,
                            std::vector<uint8_t>& out, std::string& error) {
    HttpRequest request;
    request.url = url;
    request.offset = offset;
    request.length = length;
    perform(&request, 1);
    out.swap(request.body);
    error = request.error;
    return request.ok;
}

bool HttpClient::fetchWhole(const std::string& url, std::vector<uint8_t>& out, std::string& error) {
    return fetchRange(url, 0, -1, out, error);
}

HttpStats HttpClient::stats() const {
    std::lock_guard<std::mutex> lock(statsMutex_);
    HttpStats figures = stats_;
    const int64_t now = millisecondsSince(Clock::time_point()) / 100;
    int64_t recent = 0;
    for (int64_t age = 0; age < 20; ++age) {
        const int64_t bucket = rateBucketAt_ - age;
        if (bucket >= 0 && bucket > now - 20)
            recent += rateBuckets_[bucket % 20];
    }
    figures.bytesPerSecond = double(recent) / 2.0;
    return figures;
}

// Tenths of a second in a ring of twenty: the newest bucket fills, the ones that fell out of the
// last two seconds are emptied as the ring turns.
void HttpClient::received(int64_t bytes) {
    const int64_t now = millisecondsSince(Clock::time_point()) / 100;
    std::lock_guard<std::mutex> lock(statsMutex_);
    for (int64_t bucket = std::max(rateBucketAt_ + 1, now - 19); bucket <= now; ++bucket)
        rateBuckets_[bucket % 20] = 0;
    rateBucketAt_ = std::max(rateBucketAt_, now);
    rateBuckets_[now % 20] += bytes;
    stats_.bytesReceived += bytes;
}

// --- The transfer thread ---

void HttpClient::run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
            waiting_.insert(waiting_.end(), incoming_.begin(), incoming_.end());
            incoming_.clear();
        }
        const Clock::time_point now = Clock::now();
        auto due = std::stable_partition(delayed_.begin(), delayed_.end(),
                                         [&](Transfer* t) { return t->startAt > now; });
        waiting_.insert(waiting_.end(), due, delayed_.end());
        delayed_.erase(due, delayed_.end());

        startWaiting();

        int running = 0;
        curl_multi_perform(multi_, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            finish(transfer, message->data.result);
        }
        checkStalls();

        int waitMs = active_.empty() ? 1000 : 50; // the stall check's beat
        for (Transfer* transfer : delayed_) {
            const int64_t until = -millisecondsSince(transfer->startAt);
            waitMs = int(std::clamp<int64_t>(until, 0, waitMs));
        }
        if (!waiting_.empty() && int(active_.size()) < std::max(1, options_.maxConnections))
            waitMs = 0;
        {
            std::lock_guard<std::mutex> lock(statsMutex_);
            stats_.inFlight = int(active_.size());
            stats_.waiting = int(waiting_.size() + delayed_.size());
        }
        curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr);
    }

    // Only a client with no caller left is stopped, so nothing should remain; if something
    // does, its caller is answered rather than left waiting.
    for (Transfer* transfer : active_) {
        curl_multi_remove_handle(multi_, transfer->easy);
        curl_easy_cleanup(transfer->easy);
    }
    std::vector<Transfer*> unanswered(active_.begin(), active_.end());
    unanswered.insert(unanswered.end(), waiting_.begin(), waiting_.end());
    unanswered.insert(unanswered.end(), delayed_.begin(), delayed_.end());
    unanswered.insert(unanswered.end(), incoming_.begin(), incoming_.end());
    for (Transfer* transfer : unanswered) {
        transfer->request->body.clear();
        transfer->request->error = transfer->request->url + ": cancelled";
        complete(transfer);
    }
}

void HttpClient::startWaiting() {
    while (int(active_.size()) < std::max(1, options_.maxConnections) && !waiting_.empty()) {
        Transfer* transfer = waiting_.front();
        waiting_.pop_front();
        CURL* easy = nullptr;
        if (!idleHandles_.empty()) {
            easy = idleHandles_.back();
            idleHandles_.pop_back();
        } else {
            easy = curl_easy_init();
        }
        if (!easy) {
            transfer->request->error = transfer->request->url + ": out of memory";
            complete(transfer);
            continue;
        }
        start(transfer, easy);
    }
}

void HttpClient::start(Transfer* transfer, void* easy) {
    transfer->easy = easy;
    transfer->tries++;
    transfer->attempt = HttpAttempt();
    transfer->attempt.url = transfer->request->url;
    transfer->attempt.offset = transfer->request->offset;
    transfer->attempt.length = transfer->request->length;
    transfer->attempt.stallMs = options_.stallTimeoutMs;
    transfer->attempt.sizeLimit = options_.maxWholeBytes;
    transfer->headersJudged = false;
    transfer->discard = false;
    transfer->whole = false;
    transfer->request->body.clear();
    transfer->errorBuffer[0] = 0;
    transfer->startAt = transfer->lastByteAt = Clock::now();

    curl_easy_setopt(easy, CURLOPT_URL, transfer->request->url.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
    // Signals are process-wide; a thread must not use them for its timeouts.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(options_.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy_.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "pointillist");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer);
    if (!options_.caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, options_.caFile.c_str());
    if (transfer->request->length > 0) {
        const int64_t first = transfer->request->offset;
        transfer->range =
            std::to_string(first) + "-" + std::to_string(first + transfer->request->length - 1);
        curl_easy_setopt(easy, CURLOPT_RANGE, transfer->range.c_str());
    }
    curl_multi_add_handle(multi_, easy);
    active_.push_back(transfer);
    std::lock_guard<std::mutex> lock(statsMutex_);
    stats_.requests++;
}

void HttpClient::checkStalls() {
    std::vector<Transfer*> stalled;
    for (Transfer* transfer : active_)
        if (millisecondsSince(transfer->lastByteAt) >= options_.stallTimeoutMs)
            stalled.push_back(transfer);
    for (Transfer* transfer : stalled) {
        transfer->attempt.stalled = true;
        finish(transfer, CURLE_OPERATION_TIMEDOUT);
    }
}

void HttpClient::finish(Transfer* transfer, int curlCode) {
    CURL* easy = transfer->easy;
    HttpAttempt& attempt = transfer->attempt;
    // A body-less answer (a 200 of zero bytes) never reached the write callback.
    if (curlCode == CURLE_OK && !transfer->headersJudged)
        transfer->judgeHeaders();
    attempt.curlCode = curlCode;
    long status = 0, osError = 0, connects = 0;
    curl_off_t connectTime = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
    curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectTime);
    if (!attempt.status)
        attempt.status = status;
    attempt.osError = int(osError);
    attempt.connected = connectTime > 0 || status > 0;
    attempt.received = int64_t(transfer->request->body.size());
    attempt.detail =
        transfer->errorBuffer[0] ? transfer->errorBuffer : curl_easy_strerror(CURLcode(curlCode));

    HttpRequest& request = *transfer->request;
    HttpOutcome outcome;
    curl_header* header = nullptr;
    int64_t first, last, total;
    if (request.allowShort && status == 416 && !attempt.stalled &&
        curl_easy_header(easy, "Content-Range", 0, CURLH_HEADER, -1, &header) == CURLHE_OK &&
        parseContentRange(header->value, first, last, total) && total >= 0 &&
        request.offset >= total) {
        // Asked from the end of the resource on (an empty file): nothing there, and that's fine.
        outcome.ok = true;
        request.totalSize = total;
        request.body.clear();
    } else {
        outcome = judgeAttempt(attempt);
    }

    curl_multi_remove_handle(multi_, easy);
    curl_easy_reset(easy);
    idleHandles_.push_back(easy);
    transfer->easy = nullptr;
    active_.erase(std::find(active_.begin(), active_.end(), transfer));
    {
        std::lock_guard<std::mutex> lock(statsMutex_);
        stats_.connectionsOpened += connects;
    }
    if (outcome.ok) {
        request.ok = true;
        // A whole answer sent without its length tells it by its end.
        if (transfer->whole)
            request.totalSize = int64_t(request.body.size());
    } else if (outcome.transient && transfer->tries <= options_.retries) {
        transfer->startAt = Clock::now() + std::chrono::milliseconds(int64_t(options_.backoffMs)
                                                                     << (transfer->tries - 1));
        delayed_.push_back(transfer);
        std::lock_guard<std::mutex> lock(statsMutex_);
        stats_.retries++;
        return;
    } else {
        request.body.clear();
        request.error = finalLine(outcome, transfer->tries);
    }
    complete(transfer);
}

void HttpClient::complete(Transfer* transfer) {
    // Notified under the lock: the caller may return and free the batch as soon as it sees its
    // count reach zero.
    std::lock_guard<std::mutex> lock(mutex_);
    if (--transfer->batch->left == 0)
        transfer->batch->done.notify_all();
}

namespace {

HttpOptions& sharedOptions() {
    static HttpOptions options;
    return options;
}

} // namespace

void setSharedHttpOptions(const HttpOptions& options) {
    sharedOptions() = options;
}

bool parseTimeoutSeconds(const char* text, int& milliseconds) {
    // strtod takes signs, spaces, "inf", "nan" and hexadecimal: decimals alone.
    if (!std::isdigit(static_cast<unsigned char>(*text)) ||
        std::strspn(text, "0123456789.") != std::strlen(text))
        return false;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !(seconds > 0) || seconds > 86400)
        return false;
    milliseconds = std::max(1, static_cast<int>(seconds * 1000));
    return true;
}

std::shared_ptr<HttpClient> sharedHttpClient() {
    static std::string error;
    static std::shared_ptr<HttpClient> client = HttpClient::create(sharedOptions(), error);
    return client;
}

bool fetchWhole(const std::string& url, std::vector<uint8_t>& out, std::string& error) {
    std::shared_ptr<HttpClient> client = sharedHttpClient();
    if (!client) {
        error = url + ": HTTP is not available (libcurl could not be set up)";
        return false;
    }
    return client->fetchWhole(url, out, error);
}
