// tests/net/http_source_test.cpp - range reads and whole fetches from a real lighttpd on the
// loopback address: the bytes, the requests its access log shows, connection reuse, and the
// failures a plain server gives (missing file, no range support, nothing listening).
#include "net/http_source.h"

#include "net/url.h"
#include "tests/net/test_bytes.h"
#include "tests/support/static_http_server.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

HttpOptions testOptions() {
    HttpOptions options;
    options.connectTimeoutMs = 5000;
    options.stallTimeoutMs = 5000;
    options.backoffMs = 10;
    return options;
}

class HttpServed : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(error, serverOptions)) << error;
        ASSERT_TRUE(server.put("cloud.copc.laz", file));
        client = HttpClient::create(options, error);
        ASSERT_TRUE(client) << error;
    }

    std::unique_ptr<HttpSource> open(const std::string& path = "cloud.copc.laz") {
        std::string error;
        std::unique_ptr<HttpSource> source = openHttp(client, server.url(path), error);
        EXPECT_TRUE(source) << error;
        return source;
    }

    StaticHttpServer::Options serverOptions;
    HttpOptions options = testOptions();
    const std::vector<uint8_t> file = testBytes(1000003);
    StaticHttpServer server;
    std::shared_ptr<HttpClient> client;
};

class HttpServedWithoutRanges : public HttpServed {
protected:
    void SetUp() override {
        serverOptions.rangeRequests = false;
        HttpServed::SetUp();
    }
};

} // namespace

TEST_F(HttpServed, RangesMatchTheFile) {
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), int64_t(file.size()));
    EXPECT_EQ(source->name(), server.url("cloud.copc.laz"));
    const struct {
        int64_t offset, length;
    } rows[] = {
        {0, 375},                      // inside the bytes read when opening
        {kHttpHeadBytes - 10, 100},    // across their end
        {500000, 65536},               // well past them
        {int64_t(file.size()) - 1, 1}, // the last byte
        {0, int64_t(file.size())},     // everything
        {123, 0},                      // nothing
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(source->read(row.offset, row.length, bytes, error)) << error;
        EXPECT_EQ(bytes, slice(file, row.offset, row.length)) << row.offset;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(source->read(int64_t(file.size()) - 1, 2, bytes, error));
    EXPECT_EQ(error, server.url("cloud.copc.laz") + ": asked for 2 bytes at 1000002, past the " +
                         "end (1000003 bytes)");
}

TEST_F(HttpServed, AccessLogShowsExactlyTheRangesAsked) {
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    const std::set<std::pair<int64_t, int64_t>> asked = {
        {20000, 4096}, {600000, 65536}, {999000, 1003}};
    std::vector<uint8_t> bytes;
    std::string error;
    for (const auto& [offset, length] : asked)
        ASSERT_TRUE(source->read(offset, length, bytes, error)) << error;
    // Served from the bytes of the opening request: no request of its own.
    ASSERT_TRUE(source->read(100, 500, bytes, error)) << error;
    EXPECT_GT(client->stats().bytesPerSecond, 0); // all of it within the last two seconds
    server.stop();

    const std::vector<AccessLogEntry> log = server.accessLog();
    ASSERT_EQ(log.size(), asked.size() + 1);
    EXPECT_EQ(log[0].rangeFirst, 0);
    EXPECT_EQ(log[0].rangeLast, kHttpHeadBytes - 1);
    std::set<std::pair<int64_t, int64_t>> logged;
    int64_t sent = 0;
    for (const AccessLogEntry& entry : log) {
        EXPECT_EQ(entry.method, "GET");
        EXPECT_EQ(entry.path, "/cloud.copc.laz");
        EXPECT_EQ(entry.status, 206);
        EXPECT_EQ(entry.bytes, entry.rangeLast - entry.rangeFirst + 1);
        sent += entry.bytes;
        if (&entry != &log[0])
            logged.insert({entry.rangeFirst, entry.rangeLast - entry.rangeFirst + 1});
    }
    EXPECT_EQ(logged, asked);
    EXPECT_LT(sent, int64_t(file.size()) / 10);
    const HttpStats stats = client->stats();
    EXPECT_EQ(stats.requests, int64_t(log.size()));
    EXPECT_EQ(stats.bytesReceived, sent);
    EXPECT_EQ(stats.retries, 0);
    // One request after another: the first connection serves them all.
    EXPECT_EQ(stats.connectionsOpened, 1);
    EXPECT_EQ(
        std::set<int>({log[0].clientPort, log[1].clientPort, log[2].clientPort, log[3].clientPort})
            .size(),
        1u);
}

TEST_F(HttpServed, ConcurrentReadsShareAFewConnections) {
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    const int threads = 8, readsEach = 40;
    std::vector<int> wrong(threads, 0);
    std::vector<std::thread> readers;
    for (int t = 0; t < threads; ++t)
        readers.emplace_back([&, t] {
            std::vector<uint8_t> bytes;
            std::string error;
            for (int i = 0; i < readsEach; ++i) {
                const int64_t offset = kHttpHeadBytes + (t * 7919 + i * 104729) % 900000;
                const int64_t length = 1 + (t * 31 + i * 977) % 20000;
                if (!source->read(offset, length, bytes, error) ||
                    bytes != slice(file, offset, length))
                    wrong[t]++;
            }
        });
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, std::vector<int>(threads, 0));

    server.stop();
    const std::vector<AccessLogEntry> log = server.accessLog();
    const HttpStats stats = client->stats();
    EXPECT_EQ(int64_t(log.size()), 1 + threads * readsEach);
    EXPECT_EQ(stats.requests, int64_t(log.size()));
    EXPECT_EQ(stats.inFlight, 0);
    EXPECT_EQ(stats.waiting, 0);
    std::set<int> connections;
    for (const AccessLogEntry& entry : log)
        connections.insert(entry.clientPort);
    EXPECT_LE(connections.size(), size_t(options.maxConnections));
    EXPECT_EQ(int64_t(connections.size()), stats.connectionsOpened);
}

TEST_F(HttpServed, ReadManyStaysWithinItsConnections) {
    options.maxConnections = 4;
    std::string error;
    client = HttpClient::create(options, error);
    ASSERT_TRUE(client) << error;
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    std::vector<HttpSource::Range> ranges(32);
    for (size_t i = 0; i < ranges.size(); ++i) {
        ranges[i].offset = 20000 + int64_t(i) * 30000;
        ranges[i].length = 25000;
    }
    ranges[5].offset = 10; // from the opening bytes
    ranges[5].length = 1000;
    source->readMany(ranges);
    for (const HttpSource::Range& range : ranges) {
        EXPECT_TRUE(range.ok) << range.error;
        EXPECT_EQ(range.bytes, slice(file, range.offset, range.length)) << range.offset;
    }
    const HttpStats stats = client->stats();
    EXPECT_EQ(stats.requests, 1 + 31);
    // Never more than four connections; how many are opened depends on how quickly the server
    // answers (the slow peer's test counts them).
    EXPECT_LE(stats.connectionsOpened, 4);
    server.stop();
    std::set<int> connections;
    for (const AccessLogEntry& entry : server.accessLog())
        connections.insert(entry.clientPort);
    EXPECT_EQ(int64_t(connections.size()), stats.connectionsOpened);
}

TEST_F(HttpServed, WholeFetchesFollowRelativeNames) {
    const std::string json = R"({"bounds": [0, 0, 0, 1, 1, 1]})";
    const std::vector<uint8_t> node = testBytes(70000, 7);
    ASSERT_TRUE(server.put("set/ept.json", std::vector<uint8_t>(json.begin(), json.end())));
    ASSERT_TRUE(server.put("set/ept-data/0-0-0-0.laz", node));
    ASSERT_TRUE(server.put("set/empty.json", {}));

    std::vector<uint8_t> bytes;
    std::string error;
    const std::string base = server.url("set/ept.json");
    ASSERT_TRUE(client->fetchWhole(base, bytes, error)) << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), json);
    ASSERT_TRUE(client->fetchWhole(resolveUrl(base, "ept-data/0-0-0-0.laz"), bytes, error))
        << error;
    EXPECT_EQ(bytes, node);
    ASSERT_TRUE(client->fetchWhole(resolveUrl(base, "empty.json"), bytes, error)) << error;
    EXPECT_TRUE(bytes.empty());

    // An empty file opens as a source of no bytes.
    std::unique_ptr<HttpSource> source = open("set/empty.json");
    ASSERT_TRUE(source);
    EXPECT_EQ(source->size(), 0);

    // A whole fetch past its limit stops at the limit.
    options.maxWholeBytes = 50000;
    std::shared_ptr<HttpClient> limited = HttpClient::create(options, error);
    EXPECT_FALSE(limited->fetchWhole(resolveUrl(base, "ept-data/0-0-0-0.laz"), bytes, error));
    EXPECT_EQ(error, resolveUrl(base, "ept-data/0-0-0-0.laz") + ": larger than 50000 bytes");
}

TEST_F(HttpServed, MissingFileIsNotFoundAndNotRetried) {
    const std::string url = server.url("missing.copc.laz");
    std::string error;
    EXPECT_FALSE(openHttp(client, url, error));
    EXPECT_EQ(error, url + ": not found (HTTP 404)");
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(client->fetchWhole(url, bytes, error));
    EXPECT_EQ(error, url + ": not found (HTTP 404)");
    server.stop();
    EXPECT_EQ(server.accessLog().size(), 2u);
    EXPECT_EQ(client->stats().retries, 0);
}

TEST_F(HttpServed, RangePastTheEndGivesTheShortBody) {
    std::vector<uint8_t> bytes;
    std::string error;
    const std::string url = server.url("cloud.copc.laz");
    options.retries = 0;
    std::shared_ptr<HttpClient> once = HttpClient::create(options, error);
    EXPECT_FALSE(once->fetchRange(url, 1000000, 100, bytes, error));
    EXPECT_EQ(error, url + ": asked for 100 bytes at 1000000, got 3");
}

// A file replaced on the server by a shorter one after it was opened would mix two files'
// bytes: the size each answer tells gives it away. (This lighttpd sends no ETag to compare.)
TEST_F(HttpServed, FileReplacedAfterTheOpenIsNoticed) {
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    const std::string url = server.url("cloud.copc.laz");
    ASSERT_TRUE(server.put("cloud.copc.laz", slice(file, 0, 600000)));
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(source->read(500000, 100, bytes, error));
    EXPECT_EQ(error, url + ": changed while being read (1000003 bytes, now 600000)");
}

TEST_F(HttpServedWithoutRanges, OpeningSaysSoWithoutTakingTheWholeFile) {
    const std::string url = server.url("cloud.copc.laz");
    std::string error;
    EXPECT_FALSE(openHttp(client, url, error));
    EXPECT_EQ(error, url + ": the server does not answer range requests");
    EXPECT_LT(client->stats().bytesReceived, int64_t(file.size()) / 2);

    // A file no larger than the opening read comes whole all the same.
    ASSERT_TRUE(server.put("small.copc.laz", testBytes(5000)));
    std::unique_ptr<HttpSource> small = open("small.copc.laz");
    ASSERT_TRUE(small);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(small->read(1000, 10, bytes, error)) << error;
    EXPECT_EQ(bytes, slice(testBytes(5000), 1000, 10));
}

class HttpServedSecurely : public HttpServed {
protected:
    void SetUp() override {
        serverOptions.tls = true;
        HttpServed::SetUp();
    }
};

TEST_F(HttpServedSecurely, RangesComeOverHttpsFromATrustedServer) {
    std::string error;
    std::shared_ptr<HttpClient> untrusting = client;
    options.caFile = server.caFile();
    client = HttpClient::create(options, error);
    ASSERT_TRUE(client) << error;
    std::unique_ptr<HttpSource> source = open();
    ASSERT_TRUE(source);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(source->read(400000, 70000, bytes, error)) << error;
    EXPECT_EQ(bytes, slice(file, 400000, 70000));

    // The certificate is signed by itself: without it the connection is refused.
    const std::string url = server.url("cloud.copc.laz");
    EXPECT_FALSE(openHttp(untrusting, url, error));
    EXPECT_EQ(error.rfind(url + ": secure connection failed: ", 0), 0u) << error;
}

TEST(HttpUnreachable, NothingListeningIsConnectionRefused) {
    std::string error;
    std::shared_ptr<HttpClient> client = HttpClient::create(testOptions(), error);
    ASSERT_TRUE(client) << error;
    const std::string url = "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/a.laz";
    EXPECT_FALSE(openHttp(client, url, error));
    EXPECT_EQ(error, url + ": connection refused");
    EXPECT_FALSE(openHttp("ftp://127.0.0.1/a.laz", error));
    EXPECT_EQ(error, "ftp://127.0.0.1/a.laz: not a valid http or https URL");
}
