// net/http_source.cpp - a remote file read by HTTP range requests.
#include "net/http_source.h"

#include <new>

HttpSource::HttpSource(std::shared_ptr<HttpClient> client, const std::string& url, int64_t size,
                       std::vector<uint8_t> head, const std::string& validator)
    : client_(std::move(client)), url_(url), size_(size), head_(std::move(head)),
      validator_(validator) {}

namespace {

// A server that sends no validator still shows most rewrites in the file's first bytes (a
// header's counts, box and date).
std::string versionOf(const std::string& validator, int64_t size,
                      const std::vector<uint8_t>& head) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : head)
        hash = (hash ^ byte) * 1099511628211ull;
    return validator + " " + std::to_string(size) + " " + std::to_string(hash);
}

} // namespace

std::string HttpSource::version() const {
    return versionOf(validator_, size_, head_);
}

bool HttpSource::check(int64_t offset, int64_t length, std::string& error) const {
    if (offset >= 0 && length >= 0 && offset <= size_ && length <= size_ - offset)
        return true;
    error = url_ + ": asked for " + std::to_string(length) + " bytes at " + std::to_string(offset) +
            ", past the end (" + std::to_string(size_) + " bytes)";
    return false;
}

bool HttpSource::fromHead(int64_t offset, int64_t length, std::vector<uint8_t>& out) const {
    if (offset + length > int64_t(head_.size()))
        return false;
    out.assign(head_.begin() + offset, head_.begin() + offset + length);
    return true;
}

bool HttpSource::read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
                      std::string& error) {
    if (!check(offset, length, error))
        return false;
    if (fromHead(offset, length, out))
        return true;
    HttpRequest request;
    request.url = url_;
    request.offset = offset;
    request.length = length;
    client_->perform(&request, 1);
    if (!request.ok) {
        error = request.error;
        return false;
    }
    if (!sameResource(request, size_, validator_, error))
        return false;
    out.swap(request.body);
    return true;
}

void HttpSource::readMany(std::vector<Range>& ranges) {
    std::vector<HttpRequest> requests;
    std::vector<Range*> remote;
    for (Range& range : ranges) {
        range.error.clear();
        range.ok = check(range.offset, range.length, range.error) &&
                   fromHead(range.offset, range.length, range.bytes);
        if (range.ok || !range.error.empty())
            continue;
        HttpRequest request;
        request.url = url_;
        request.offset = range.offset;
        request.length = range.length;
        requests.push_back(std::move(request));
        remote.push_back(&range);
    }
    client_->perform(requests.data(), requests.size());
    for (size_t i = 0; i < requests.size(); ++i) {
        Range& range = *remote[i];
        range.ok = requests[i].ok && sameResource(requests[i], size_, validator_, range.error);
        if (!requests[i].ok)
            range.error = requests[i].error;
        if (range.ok)
            range.bytes.swap(requests[i].body);
    }
}

bool HttpSource::readAll(std::vector<uint8_t>& out, std::string& error) {
    if (size_ > client_->options().maxWholeBytes) {
        error = tooLargeLine(url_, *client_);
        return false;
    }
    std::vector<uint8_t> rest;
    if (!read(headSize(), size_ - headSize(), rest, error))
        return false;
    out.reserve(size_t(size_));
    out.assign(head_.begin(), head_.end());
    out.insert(out.end(), rest.begin(), rest.end());
    return true;
}

HttpRequest headRequest(const std::string& url) {
    HttpRequest head;
    head.url = url;
    head.length = kHttpHeadBytes;
    head.allowShort = true;
    return head;
}

std::string resourceVersion(const HttpRequest& head) {
    return versionOf(head.validator, head.totalSize, head.body);
}

// A resource replaced while it is read would mix two files' bytes: its size or its validator
// gives it away.
bool sameResource(const HttpRequest& answer, int64_t size, const std::string& validator,
                  std::string& error) {
    if (answer.totalSize >= 0 && answer.totalSize != size) {
        error = answer.url + ": changed while being read (" + std::to_string(size) +
                " bytes, now " + std::to_string(answer.totalSize) + ")";
        return false;
    }
    if (!validator.empty() && !answer.validator.empty() && answer.validator != validator) {
        error = answer.url + ": changed while being read (now " + answer.validator + ")";
        return false;
    }
    return true;
}

std::string tooLargeLine(const std::string& url, const HttpClient& client) {
    return url + ": larger than " + std::to_string(client.options().maxWholeBytes) + " bytes";
}

std::unique_ptr<HttpSource> openHttp(std::shared_ptr<HttpClient> client, const std::string& url,
                                     std::string& error) {
    HttpRequest first = headRequest(url);
    client->perform(&first, 1);
    if (!first.ok) {
        error = first.error;
        return nullptr;
    }
    if (first.totalSize < 0) {
        error = url + ": the server does not tell the size";
        return nullptr;
    }
    std::unique_ptr<HttpSource> source(new (std::nothrow) HttpSource(
        std::move(client), url, first.totalSize, std::move(first.body), first.validator));
    if (!source)
        error = url + ": out of memory";
    return source;
}

std::unique_ptr<ByteSource> openHttp(const std::string& url, std::string& error) {
    std::shared_ptr<HttpClient> client = sharedHttpClient();
    if (!client) {
        error = url + ": HTTP is not available (libcurl could not be set up)";
        return nullptr;
    }
    return openHttp(std::move(client), url, error);
}
