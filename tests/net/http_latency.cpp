// tests/net/http_latency.cpp - how far parallel range requests hide a server's latency: N reads
// of 64 KiB from a loopback peer that answers each request after a delay, one after another,
// then all at once (readMany), then from several threads.
// Usage: http-latency [READS [DELAY_MS [CONNECTIONS]]]
#include "net/http_source.h"

#include "tests/net/test_bytes.h"
#include "tests/support/http_test_peer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* how, int reads, double ms, double serialMs, const HttpClient& client) {
    const HttpStats stats = client.stats();
    std::printf("%-28s %8.1f ms  %6.1f ms a read  x%4.1f  (%lld connections so far)\n", how, ms,
                ms / reads, serialMs / ms, static_cast<long long>(stats.connectionsOpened));
}

} // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::atoi(argv[1]) : 64;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 50;
    const int connections = argc > 3 ? std::atoi(argv[3]) : 8;
    const int64_t chunk = 65536;
    const std::vector<uint8_t> file = testBytes(size_t(reads + 1) * chunk);

    PeerBehaviour behaviour;
    behaviour.delayMs = delayMs;
    HttpTestPeer peer(file, behaviour);
    std::string error;
    if (!peer.start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    HttpOptions options;
    options.maxConnections = connections;
    std::shared_ptr<HttpClient> client = HttpClient::create(options, error);
    std::unique_ptr<HttpSource> source = client ? openHttp(client, peer.url(), error) : nullptr;
    if (!source) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%d reads of 64 KiB, %d ms before each answer, up to %d connections\n", reads,
                delayMs, connections);

    // Offsets past the opening request's bytes, so each read is a request.
    auto offset = [&](int i) { return int64_t(i + 1) * chunk; };
    int failed = 0;

    Clock::time_point start = Clock::now();
    std::vector<uint8_t> bytes;
    for (int i = 0; i < reads; ++i)
        failed += !source->read(offset(i), chunk, bytes, error);
    const double serialMs = millisecondsSince(start);
    report("one after another", reads, serialMs, serialMs, *client);

    std::vector<HttpSource::Range> ranges(static_cast<size_t>(reads));
    for (int i = 0; i < reads; ++i) {
        ranges[size_t(i)].offset = offset(i);
        ranges[size_t(i)].length = chunk;
    }
    start = Clock::now();
    source->readMany(ranges);
    for (const HttpSource::Range& range : ranges)
        failed += !range.ok;
    report("all at once (readMany)", reads, millisecondsSince(start), serialMs, *client);

    start = Clock::now();
    std::vector<std::thread> threads;
    std::vector<int> threadFailures(static_cast<size_t>(connections), 0);
    for (int t = 0; t < connections; ++t)
        threads.emplace_back([&, t] {
            std::vector<uint8_t> own;
            std::string why;
            for (int i = t; i < reads; i += connections)
                threadFailures[size_t(t)] += !source->read(offset(i), chunk, own, why);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int count : threadFailures)
        failed += count;
    char how[64];
    std::snprintf(how, sizeof how, "from %d threads", connections);
    report(how, reads, millisecondsSince(start), serialMs, *client);

    if (failed) {
        std::fprintf(stderr, "%d reads failed\n", failed);
        return 1;
    }
    return 0;
}
