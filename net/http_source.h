// net/http_source.h - a remote file read by HTTP range requests.
#pragma once

#include "io/byte_source.h"
#include "net/http_client.h"

// A resource on an HTTP(S) server, read by ranges through a shared HttpClient. The first bytes
// come with the request that learns the size and are kept, so a reader's header costs no
// second request. Holds its client; reads may come from any number of threads at once.
class HttpSource : public ByteSource {
public:
    HttpSource(std::shared_ptr<HttpClient> client, const std::string& url, int64_t size,
               std::vector<uint8_t> head, const std::string& validator = std::string());
    const std::string& name() const override { return url_; }
    int64_t size() const override { return size_; }
    bool read(int64_t offset, int64_t length, std::vector<uint8_t>& out,
              std::string& error) override;

    // One range of a readMany: all go on the wire together (within the client's connections).
    struct Range {
        int64_t offset = 0;
        int64_t length = 0;
        bool ok = false;
        std::vector<uint8_t> bytes;
        std::string error;
    };
    void readMany(std::vector<Range>& ranges);

    // The whole resource: the head, and the rest in one request. Refuses a resource larger than
    // the client fetches whole.
    bool readAll(std::vector<uint8_t>& out, std::string& error);

    HttpClient& client() const { return *client_; }
    // What tells this version of the resource from another: its ETag or Last-Modified as the
    // opening answer gave it (empty when neither), its size and a hash of its first bytes.
    std::string version() const;
    // The bytes from the start that the opening request brought, read without a request.
    int64_t headSize() const { return int64_t(head_.size()); }

private:
    bool check(int64_t offset, int64_t length, std::string& error) const;
    bool fromHead(int64_t offset, int64_t length, std::vector<uint8_t>& out) const;

    std::shared_ptr<HttpClient> client_;
    std::string url_;
    int64_t size_;
    std::vector<uint8_t> head_;
    std::string validator_;
};

// Bytes the opening request asks for: a LAS header and its first records fit.
constexpr int64_t kHttpHeadBytes = 16384;

// The opening request of url: its first kHttpHeadBytes, or all of it when smaller.
HttpRequest headRequest(const std::string& url);
// HttpSource::version of the resource an answered headRequest opened.
std::string resourceVersion(const HttpRequest& head);
// False with "URL: changed while being read (...)" when answer, to a later request for the
// resource opened as size bytes with validator, shows another version of it.
bool sameResource(const HttpRequest& answer, int64_t size, const std::string& validator,
                  std::string& error);
// "URL: larger than N bytes": a resource too large for the client to fetch whole.
std::string tooLargeLine(const std::string& url, const HttpClient& client);

// Opens `url` with one ranged GET; nullptr with "URL: reason" when the resource cannot be read
// by ranges (missing, unreachable, or a server that answers only with the whole body).
std::unique_ptr<HttpSource> openHttp(std::shared_ptr<HttpClient> client, const std::string& url,
                                     std::string& error);
// The same through the program's shared client.
std::unique_ptr<ByteSource> openHttp(const std::string& url, std::string& error);
