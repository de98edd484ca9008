// tests/support/static_http_server.cpp - a real lighttpd on the loopback address, serving a
// temporary folder the test fills, with its access log for the test to read.
#include "tests/support/static_http_server.h"

#include "tests/support/file_text.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// "%{remote}p %m %U %>s %b "%{Range}i"", as the configuration below writes it.
bool parseLine(const std::string& line, AccessLogEntry& entry) {
    char method[16], path[1024], bytes[32], range[128];
    if (std::sscanf(line.c_str(), "%d %15s %1023s %d %31s \"%127[^\"]\"", &entry.clientPort, method,
                    path, &entry.status, bytes, range) != 6)
        return false;
    entry.method = method;
    entry.path = path;
    entry.bytes = bytes[0] == '-' ? 0 : std::atoll(bytes);
    if (std::sscanf(range, "bytes=%" SCNd64 "-%" SCNd64, &entry.rangeFirst, &entry.rangeLast) != 2)
        entry.rangeFirst = entry.rangeLast = -1;
    return true;
}

} // namespace

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

StaticHttpServer::~StaticHttpServer() {
    stop();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool StaticHttpServer::start(std::string& error, const Options& options) {
    const std::string lighttpd = POINTILLIST_LIGHTTPD;
    if (lighttpd.empty()) {
        error = "lighttpd was not found when the build was configured: run scripts/install-deps";
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pointillist-http-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a temporary folder from " + pattern;
        return false;
    }
    folder_ = pattern;
    std::filesystem::create_directory(folder_ + "/www");
    tls_ = options.tls;
    if (tls_ && !makeCertificate(error))
        return false;

    // Another process may take the port between the pick and lighttpd's bind: pick again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freeLoopbackPort();
        std::ofstream config(folder_ + "/lighttpd.conf");
        config << "server.document-root = \"" << folder_ << "/www\"\n"
               << "server.bind = \"127.0.0.1\"\n"
               << "server.port = " << port_ << "\n"
               << "server.errorlog = \"" << folder_ << "/error.log\"\n"
               << "server.pid-file = \"" << folder_ << "/lighttpd.pid\"\n"
               << "server.upload-dirs = ( \"" << folder_ << "\" )\n"
               << "server.modules = ( \"mod_accesslog\"" << (tls_ ? ", \"mod_openssl\"" : "")
               << " )\n"
               << "accesslog.filename = \"" << folder_ << "/access.log\"\n"
               << "accesslog.format = \"%{remote}p %m %U %>s %b \\\"%{Range}i\\\"\"\n"
               // Files written by a test while the server runs are seen as they are now.
               << "server.stat-cache-engine = \"disable\"\n"
               << "server.max-keep-alive-requests = 100000\n"
               << "server.range-requests = \"" << (options.rangeRequests ? "enable" : "disable")
               << "\"\n";
        if (tls_)
            config << "ssl.engine = \"enable\"\n"
                   << "ssl.pemfile = \"" << folder_ << "/cert.pem\"\n"
                   << "ssl.privkey = \"" << folder_ << "/key.pem\"\n";
        config.close();
        bool portTaken = false;
        if (launch(error, portTaken))
            return true;
        if (!portTaken)
            return false;
    }
    return false;
}

// A fresh key and a certificate for 127.0.0.1 signed by itself, good for two days.
bool StaticHttpServer::makeCertificate(std::string& error) {
    const std::string openssl = POINTILLIST_OPENSSL;
    if (openssl.empty()) {
        error = "openssl was not found when the build was configured: run scripts/install-deps";
        return false;
    }
    const std::string key = folder_ + "/key.pem", cert = folder_ + "/cert.pem";
    const char* argv[] = {openssl.c_str(),
                          "req",
                          "-x509",
                          "-newkey",
                          "ec",
                          "-pkeyopt",
                          "ec_paramgen_curve:prime256v1",
                          "-nodes",
                          "-days",
                          "2",
                          "-subj",
                          "/CN=127.0.0.1",
                          "-addext",
                          "subjectAltName=IP:127.0.0.1",
                          "-keyout",
                          key.c_str(),
                          "-out",
                          cert.c_str(),
                          nullptr};
    // Its chatter goes to a log, shown only when it fails.
    const std::string log = folder_ + "/openssl.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int status = 0;
    const bool spawned = posix_spawn(&pid, openssl.c_str(), &actions, nullptr,
                                     const_cast<char**>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        error = "openssl could not make a certificate: " + fileText(log);
        return false;
    }
    return true;
}

bool StaticHttpServer::launch(std::string& error, bool& portTaken) {
    const std::string lighttpd = POINTILLIST_LIGHTTPD;
    const std::string config = folder_ + "/lighttpd.conf";
    // -D: stays in the foreground, so the PID spawned is the server's.
    const char* argv[] = {lighttpd.c_str(), "-D", "-f", config.c_str(), nullptr};
    if (posix_spawn(&pid_, lighttpd.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) !=
        0) {
        pid_ = -1;
        error = "cannot start " + lighttpd;
        return false;
    }
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < limit) {
        if (accepts(port_))
            return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            const std::string log = fileText(folder_ + "/error.log");
            portTaken = log.find("Address already in use") != std::string::npos;
            error = "lighttpd stopped at once: " + log;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop();
    error = "lighttpd did not accept connections within 10 s";
    return false;
}

void StaticHttpServer::stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= limit) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}

bool StaticHttpServer::put(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path file = folder_ + "/www/" + path;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::string StaticHttpServer::url(const std::string& path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/" +
           path;
}

std::vector<AccessLogEntry> StaticHttpServer::accessLog(size_t count, int limitMs) const {
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        std::vector<AccessLogEntry> entries;
        std::istringstream lines(fileText(folder_ + "/access.log"));
        std::string line;
        AccessLogEntry entry;
        while (std::getline(lines, line))
            if (parseLine(line, entry))
                entries.push_back(entry);
        if (entries.size() >= count || Clock::now() >= limit)
            return entries;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
