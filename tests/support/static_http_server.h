// tests/support/static_http_server.h - a real lighttpd on the loopback address, serving a
// temporary folder the test fills, with its access log for the test to read.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// One request as the server logged it.
struct AccessLogEntry {
    int clientPort = 0; // tells the connections apart: a reused one keeps its port
    std::string method;
    std::string path;
    int status = 0;
    int64_t bytes = 0;       // body bytes sent
    int64_t rangeFirst = -1; // the Range asked, -1 when none
    int64_t rangeLast = -1;
};

// lighttpd started on a free port of 127.0.0.1 with a configuration written into a fresh
// temporary folder (its pid, logs and the served files all inside, so it runs as any user) and
// stopped by its PID. Owns the folder and removes it.
class StaticHttpServer {
public:
    StaticHttpServer() = default;
    ~StaticHttpServer();
    StaticHttpServer(const StaticHttpServer&) = delete;
    StaticHttpServer& operator=(const StaticHttpServer&) = delete;

    struct Options {
        bool rangeRequests = true; // false: every GET is answered with the whole file
        bool tls = false;          // https, with a certificate made for 127.0.0.1 (caFile())
    };
    // False with the reason when lighttpd is missing or does not come up.
    bool start(std::string& error, const Options& options);
    bool start(std::string& error) { return start(error, Options()); }
    // Stops the server (writing out its log); the folder stays until destruction.
    void stop();

    // Writes a file the server serves as /path.
    bool put(const std::string& path, const std::vector<uint8_t>& bytes);
    std::string url(const std::string& path) const;
    int port() const { return port_; }
    // The certificate of a tls server, for the client to trust.
    std::string caFile() const { return folder_ + "/cert.pem"; }

    // The requests logged so far. lighttpd writes its log out about once a second and when it
    // stops: this polls until `count` lines are in or limitMs has passed.
    std::vector<AccessLogEntry> accessLog(size_t count = 0, int limitMs = 5000) const;

private:
    bool launch(std::string& error, bool& portTaken);
    bool makeCertificate(std::string& error);

    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool tls_ = false;
};

// A port of 127.0.0.1 on which nothing listens right now (the kernel's pick, released).
int freeLoopbackPort();
