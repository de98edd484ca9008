// net/http_source.cpp - a remote file read by HTTP range requests.
#include "net/http_source.h"

#include <new>

HttpSource::HttpSource(std::shared_ptr<HttpClient> client, const std::string& url, int64_t size,
                       std::vector<uint8_t> head, const std::string& validator)
    : client_(std::move(client)), url_(url), size_(size), head_(std::move(head)),
      validator_(validator) {}

std::string HttpSource::version() const {
    return validator_ + " " + std::to_string(size_);
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

// A resource replaced while it is read would mix two files' bytes: its size or its validator
// gives it away.
bool HttpSource::checkSize(const HttpRequest& request, std::string& error) const {
    if (request.totalSize >= 0 && request.totalSize != size_) {
        error = url_ + ": changed while being read (" + std::to_string(size_) + " bytes, now " +
                std::to_string(request.totalSize) + ")";
        return false;
    }
    if (!validator_.empty() && !request.validator.empty() && request.validator != validator_) {
        error = url_ + ": changed while being read (now " + request.validator + ")";
        return false;
    }
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
    if (!checkSize(request, error))
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
        range.ok = requests[i].ok && checkSize(requests[i], range.error);
        if (!requests[i].ok)
            range.error = requests[i].error;
        if (range.ok)
            range.bytes.swap(requests[i].body);
    }
}

std::unique_ptr<HttpSource> openHttp(std::shared_ptr<HttpClient> client, const std::string& url,
                                     std::string& error) {
    HttpRequest first;
    first.url = url;
    first.length = kHttpHeadBytes;
    first.allowShort = true;
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
