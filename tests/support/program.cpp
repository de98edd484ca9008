// tests/support/program.cpp - starting programs with posix_spawn, their output in a folder of
// their own, and waiting for them with a limit.
#include "tests/support/program.h"

#include "tests/support/file_text.h"
#include "tests/support/polling.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

// This process's environment for the child and, in the sanitizer build, the dlclose no-op
// preloaded too, so that the GL driver a child loads stays in for its own leak check at exit.
std::vector<std::string> childEnvironment(bool display) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (display || std::strncmp(*entry, "DISPLAY=", 8) != 0)
            entries.emplace_back(*entry);
#ifdef POINTILLIST_KEEP_LOADED
    // The preloaded library comes before the sanitizer runtime, which is fine for its one
    // function; the runtime would refuse to start without verify_asan_link_order=0.
    const char* options = std::getenv("ASAN_OPTIONS");
    for (auto entry = entries.begin(); entry != entries.end();)
        if (entry->rfind("ASAN_OPTIONS=", 0) == 0 || entry->rfind("LD_PRELOAD=", 0) == 0)
            entry = entries.erase(entry);
        else
            ++entry;
    entries.push_back(std::string("ASAN_OPTIONS=") + (options ? options : "") +
                      ":verify_asan_link_order=0");
    entries.push_back("LD_PRELOAD=" POINTILLIST_KEEP_LOADED);
#endif
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

Process::Process(const std::vector<std::string>& command, const StartOptions& options) {
    char pattern[] = "/tmp/pointillist-program-XXXXXX";
    if (mkdtemp(pattern) != nullptr)
        folder_ = pattern;
    std::vector<std::string> arguments = command, environment = childEnvironment(options.display);
    std::vector<char*> argv = pointers(arguments), envp = pointers(environment);
    // posix_spawn rather than fork: the test process has the GL driver's threads, and a forked
    // child of a threaded process may only make async-signal-safe calls before its exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (folder_ + "/stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (folder_ + "/stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
    pid_t pid = -1;
    if (folder_.empty() ||
        posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        // Reported as a shell reports a command it cannot run.
        pid = -1;
        ended_ = true;
        status_ = 127;
    }
    pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    kill();
    if (folder_.empty())
        return;
    unlink((folder_ + "/stdout").c_str());
    unlink((folder_ + "/stderr").c_str());
    rmdir(folder_.c_str());
}

bool Process::running() {
    if (ended_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_)
        return true;
    ended_ = true;
    if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        signal_ = WTERMSIG(status);
    return false;
}

int Process::wait(std::chrono::milliseconds limit) {
    // Asked often: most programs the tests run end within milliseconds.
    pollUntil([this] { return !running(); }, limit,
              [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); });
    return status_;
}

void Process::kill() {
    if (!running())
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    signal_ = SIGKILL;
}

std::string Process::standardOutput() const {
    return fileText(folder_ + "/stdout");
}

std::string Process::standardError() const {
    return fileText(folder_ + "/stderr");
}

double Process::cpuSeconds() const {
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses.
    const std::string stat = fileText("/proc/" + std::to_string(pid_) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

std::string ProcessResult::ending() const {
    std::string text;
    if (status >= 0)
        return "exited with status " + std::to_string(status);
    if (hung)
        text = "hung and was killed";
    else
        text = "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    const size_t tail = 2000;
    return text + "; standard error ends:\n" +
           (err.size() > tail ? err.substr(err.size() - tail) : err);
}

ProcessResult runProgram(const std::vector<std::string>& command, bool withDisplay) {
    Process program(command, StartOptions{"", withDisplay});
    ProcessResult result;
    result.status = program.wait(std::chrono::seconds(20));
    if (program.running()) {
        // A program that should have ended but opened its window instead.
        result.hung = true;
        program.kill();
    }
    result.signal = result.hung ? 0 : program.signal();
    result.out = program.standardOutput();
    result.err = program.standardError();
    return result;
}
