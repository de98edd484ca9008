// tests/support/http_test_peer.h - a small HTTP server on plain sockets that misbehaves on cue:
// the server side of the failures a real server shows only now and then.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the peer does wrong, counted from its start.
struct PeerBehaviour {
    int dropConnections = 0;  // the first N connections are closed when their request arrives
    int failRequests = 0;     // the first N requests get a 503
    int64_t cutAtOffset = -1; // a range asked from here gets half its body, then the close
    int delayMs = 0;          // every answer waits this long first (latency, or a stalled server)
    // A range asked from one of these offsets: a 404, no answer at all (until the peer stops),
    // or the whole file with a 200.
    int64_t missingAtOffset = -1;
    int64_t stallAtOffset = -1;
    int64_t wholeAtOffset = -1;
};

// Serves one file held in memory at any path, with single ranges and kept-alive connections,
// one thread per connection, on a free port of 127.0.0.1. Stops and joins its threads when
// destroyed.
class HttpTestPeer {
public:
    HttpTestPeer(std::vector<uint8_t> file, const PeerBehaviour& behaviour);
    ~HttpTestPeer();
    HttpTestPeer(const HttpTestPeer&) = delete;
    HttpTestPeer& operator=(const HttpTestPeer&) = delete;

    bool start(std::string& error);
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/file"; }
    int connections() const { return connections_.load(); }
    int requests() const { return requests_.load(); }
    // The most requests that were being answered at one time.
    int mostAtOnce() const { return mostAtOnce_.load(); }

private:
    void acceptLoop();
    void serve(int fd, int connection);
    bool answer(int fd, const std::string& head);
    bool respond(int fd, const std::string& head, int request);
    bool pause(int ms);

    const std::vector<uint8_t> file_;
    const PeerBehaviour behaviour_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> requests_{0};
    std::atomic<int> answering_{0};
    std::atomic<int> mostAtOnce_{0};
    std::mutex mutex_; // guards threads_ and wakes a pause when stopping
    std::condition_variable stopped_;
    std::thread acceptor_;
    std::vector<std::thread> threads_;
};
