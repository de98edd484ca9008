// tests/net/http_failures_test.cpp - a peer that drops connections, fails, cuts bodies short or
// answers too late: what is retried, what each failure says, and that a failed range costs only
// itself.
#include "net/http_source.h"

#include "tests/net/test_bytes.h"
#include "tests/support/http_test_peer.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class MisbehavingPeer : public ::testing::Test {
protected:
    // Starts the peer and a client with short pauses between tries.
    void serve(const PeerBehaviour& behaviour) {
        peer = std::make_unique<HttpTestPeer>(file, behaviour);
        std::string error;
        ASSERT_TRUE(peer->start(error)) << error;
        client = HttpClient::create(options, error);
        ASSERT_TRUE(client) << error;
    }

    HttpOptions options = [] {
        HttpOptions o;
        o.connectTimeoutMs = 5000;
        o.stallTimeoutMs = 5000;
        o.backoffMs = 10;
        return o;
    }();
    const std::vector<uint8_t> file = testBytes(300000);
    std::unique_ptr<HttpTestPeer> peer;
    std::shared_ptr<HttpClient> client;
};

} // namespace

TEST_F(MisbehavingPeer, DroppedConnectionIsRetriedOnANewOne) {
    PeerBehaviour behaviour;
    behaviour.dropConnections = 1;
    serve(behaviour);
    std::string error;
    std::unique_ptr<HttpSource> source = openHttp(client, peer->url(), error);
    ASSERT_TRUE(source) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(source->read(200000, 5000, bytes, error)) << error;
    EXPECT_EQ(bytes, slice(file, 200000, 5000));
    EXPECT_EQ(client->stats().retries, 1);
    EXPECT_EQ(client->stats().requests, 3);
    EXPECT_EQ(peer->connections(), 2);
}

TEST_F(MisbehavingPeer, ServerErrorsAreRetriedUntilTheTriesRunOut) {
    PeerBehaviour behaviour;
    behaviour.failRequests = 2;
    serve(behaviour);
    std::string error;
    std::unique_ptr<HttpSource> source = openHttp(client, peer->url(), error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(peer->requests(), 3);
    EXPECT_EQ(client->stats().retries, 2);

    behaviour.failRequests = 100;
    options.retries = 2;
    serve(behaviour);
    EXPECT_FALSE(openHttp(client, peer->url(), error));
    EXPECT_EQ(error, peer->url() + ": the server answered HTTP 503 (tried 3 times)");
    EXPECT_EQ(peer->requests(), 3);
}

TEST_F(MisbehavingPeer, BodyCutShortLosesOnlyItsRange) {
    PeerBehaviour behaviour;
    behaviour.cutAtOffset = 155000;
    serve(behaviour);
    std::string error;
    std::unique_ptr<HttpSource> source = openHttp(client, peer->url(), error);
    ASSERT_TRUE(source) << error;
    std::vector<HttpSource::Range> ranges(6);
    for (size_t i = 0; i < ranges.size(); ++i) {
        ranges[i].offset = 20000 + int64_t(i) * 45000;
        ranges[i].length = 40000;
    }
    source->readMany(ranges);
    for (const HttpSource::Range& range : ranges) {
        if (range.offset == behaviour.cutAtOffset) {
            EXPECT_FALSE(range.ok);
            EXPECT_EQ(range.error, peer->url() + ": connection dropped: asked for 40000 bytes " +
                                       "at 155000, got 20000 (tried 4 times)");
            EXPECT_TRUE(range.bytes.empty());
        } else {
            EXPECT_TRUE(range.ok) << range.error;
            EXPECT_EQ(range.bytes, slice(file, range.offset, range.length));
        }
    }
    EXPECT_EQ(client->stats().retries, 3);
}

TEST_F(MisbehavingPeer, SilentServerTimesOut) {
    PeerBehaviour behaviour;
    behaviour.delayMs = 60000;
    options.stallTimeoutMs = 200;
    options.retries = 1;
    serve(behaviour);
    std::string error;
    EXPECT_FALSE(openHttp(client, peer->url(), error));
    EXPECT_EQ(error, peer->url() + ": timed out (nothing received for 200 ms) (tried 2 times)");
    EXPECT_EQ(peer->requests(), 2);
}

// Answers slower than a round trip but within the stall limit arrive whole, without a retry,
// several on the wire at once.
TEST_F(MisbehavingPeer, SlowAnswersAreAwaitedSeveralAtOnce) {
    PeerBehaviour behaviour;
    behaviour.delayMs = 100;
    options.maxConnections = 4;
    serve(behaviour);
    std::string error;
    std::unique_ptr<HttpSource> source = openHttp(client, peer->url(), error);
    ASSERT_TRUE(source) << error;
    std::vector<HttpSource::Range> ranges(12);
    for (size_t i = 0; i < ranges.size(); ++i) {
        ranges[i].offset = 20000 + int64_t(i) * 20000;
        ranges[i].length = 10000;
    }
    source->readMany(ranges);
    for (const HttpSource::Range& range : ranges) {
        EXPECT_TRUE(range.ok) << range.error;
        EXPECT_EQ(range.bytes, slice(file, range.offset, range.length)) << range.offset;
    }
    EXPECT_EQ(client->stats().retries, 0);
    // Four on the wire at once, on the opening request's connection and three new ones, which
    // the other eight reuse.
    EXPECT_EQ(peer->mostAtOnce(), 4);
    EXPECT_EQ(peer->connections(), 4);
    EXPECT_EQ(client->stats().connectionsOpened, 4);
}

// A program that ends while a read waits on a server that never answers: the read is answered
// at once as cancelled, and so is any read after.
TEST_F(MisbehavingPeer, CancelAllAnswersAWaitingReadAndEveryLaterOne) {
    PeerBehaviour behaviour;
    behaviour.stallAtOffset = 200000;
    options.stallTimeoutMs = 60000;
    serve(behaviour);
    std::string error;
    std::unique_ptr<HttpSource> source = openHttp(client, peer->url(), error);
    ASSERT_TRUE(source) << error;
    std::string waitingError;
    bool waitingRead = true;
    std::thread reader([&] {
        std::vector<uint8_t> bytes;
        waitingRead = source->read(200000, 5000, bytes, waitingError);
    });
    // Until the request is on the wire.
    for (int i = 0; i < 500 && client->stats().inFlight == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(client->stats().inFlight, 1);
    client->cancelAll();
    reader.join();
    EXPECT_FALSE(waitingRead);
    EXPECT_EQ(waitingError, peer->url() + ": cancelled");
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(source->read(100000, 5000, bytes, error));
    EXPECT_EQ(error, peer->url() + ": cancelled");
}
