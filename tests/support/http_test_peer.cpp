// tests/support/http_test_peer.cpp - a small HTTP server on plain sockets that misbehaves on
// cue: the server side of the failures a real server shows only now and then.
#include "tests/support/http_test_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

bool sendText(int fd, const std::string& text) {
    return sendAll(fd, text.data(), text.size());
}

// The value of a "Range: bytes=A-B" header line, if the request has one.
bool rangeOf(const std::string& head, int64_t& first, int64_t& last) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (strncasecmp(head.c_str() + at, "range:", 6) == 0)
            return std::sscanf(head.c_str() + at + 6, " bytes=%" SCNd64 "-%" SCNd64, &first,
                               &last) == 2;
    }
    return false;
}

} // namespace

HttpTestPeer::HttpTestPeer(std::vector<uint8_t> file, const PeerBehaviour& behaviour)
    : file_(std::move(file)), behaviour_(behaviour) {}

HttpTestPeer::~HttpTestPeer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        stopped_.notify_all();
    }
    if (acceptor_.joinable())
        acceptor_.join();
    // The acceptor has stopped adding threads.
    for (std::thread& thread : threads_)
        thread.join();
    if (listener_ >= 0)
        close(listener_);
}

bool HttpTestPeer::start(std::string& error) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = std::string("test peer: cannot listen: ") + std::strerror(errno);
        return false;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

// Waits out a delay unless the peer stops first; false when it stopped.
bool HttpTestPeer::pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return stopping_.load(); });
}

void HttpTestPeer::acceptLoop() {
    // Polls with a short beat so that a stop is seen without closing the socket under accept.
    while (!stopping_) {
        pollfd waiting = {listener_, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0)
            continue;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int connection = connections_++;
        std::lock_guard<std::mutex> lock(mutex_);
        threads_.emplace_back([this, fd, connection] { serve(fd, connection); });
    }
}

void HttpTestPeer::serve(int fd, int connection) {
    std::string buffer;
    char chunk[4096];
    while (!stopping_) {
        const size_t end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            const std::string head = buffer.substr(0, end + 2);
            buffer.erase(0, end + 4);
            if (connection < behaviour_.dropConnections || !answer(fd, head))
                break;
            continue;
        }
        pollfd readable = {fd, POLLIN, 0};
        if (poll(&readable, 1, 50) <= 0)
            continue;
        const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        buffer.append(chunk, size_t(got));
    }
    close(fd);
}

// Answers one request; false closes the connection.
bool HttpTestPeer::answer(int fd, const std::string& head) {
    const int request = requests_++;
    const int atOnce = ++answering_;
    int most = mostAtOnce_.load();
    while (atOnce > most && !mostAtOnce_.compare_exchange_weak(most, atOnce)) {
    }
    const bool open = respond(fd, head, request);
    --answering_;
    return open;
}

bool HttpTestPeer::respond(int fd, const std::string& head, int request) {
    if (behaviour_.delayMs > 0 && !pause(behaviour_.delayMs))
        return false;
    if (request < behaviour_.failRequests)
        return sendText(fd, "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    const int64_t size = int64_t(file_.size());
    int64_t first = 0, last = 0;
    const bool ranged = rangeOf(head, first, last);
    if (ranged && first == behaviour_.missingAtOffset)
        return sendText(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    if (ranged && first == behaviour_.stallAtOffset) {
        pause(600000);
        return false;
    }
    if (!ranged || first == behaviour_.wholeAtOffset)
        return sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                                "\r\n\r\n") &&
               sendAll(fd, reinterpret_cast<const char*>(file_.data()), file_.size());
    if (first >= size || last < first)
        return sendText(fd, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                std::to_string(size) + "\r\nContent-Length: 0\r\n\r\n");
    last = std::min(last, size - 1);
    const int64_t length = last - first + 1;
    const std::string headers = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                std::to_string(first) + "-" + std::to_string(last) + "/" +
                                std::to_string(size) +
                                "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    const char* body = reinterpret_cast<const char*>(file_.data()) + first;
    if (first == behaviour_.cutAtOffset) {
        sendText(fd, headers);
        sendAll(fd, body, size_t(length / 2));
        return false;
    }
    return sendText(fd, headers) && sendAll(fd, body, size_t(length));
}
