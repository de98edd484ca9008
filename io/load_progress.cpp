// io/load_progress.cpp - the progress line: when to show it, what it says, how it goes.
#include "io/load_progress.h"

#include <unistd.h>

#include <string>

namespace {

// A load that ends within this time shows nothing; a shown line changes at most this often.
constexpr std::chrono::milliseconds kQuietTime(500);
constexpr std::chrono::milliseconds kInterval(100);

} // namespace

void LoadProgress::start() {
    terminal_ = isatty(fileno(stream_)) == 1;
    started_ = now_();
    shownLength_ = 0;
}

void LoadProgress::update(const ReadProgress& progress) {
    if (!terminal_)
        return;
    const Clock::time_point now = now_();
    if (now - started_ < kQuietTime || (shownLength_ && now - lastShown_ < kInterval))
        return;
    lastShown_ = now;

    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = static_cast<double>(progress.pointsRead) / seconds / 1e6;
    char line[96];
    if (progress.bytesTotal > 0)
        std::snprintf(line, sizeof line, "Loading points: %3d%%, %.1f million points/s",
                      static_cast<int>(progress.bytesRead * 100 / progress.bytesTotal), rate);
    else
        std::snprintf(line, sizeof line, "Loading points: %.0f MB, %.1f million points/s",
                      static_cast<double>(progress.bytesRead) / 1e6, rate);
    // Pad over whatever a longer previous line left behind.
    std::string text = line;
    if (text.size() < shownLength_)
        text.append(shownLength_ - text.size(), ' ');
    std::fprintf(stream_, "\r%s", text.c_str());
    std::fflush(stream_);
    shownLength_ = text.size();
}

void LoadProgress::finish() {
    if (!shownLength_)
        return;
    std::fprintf(stream_, "\r%s\r", std::string(shownLength_, ' ').c_str());
    std::fflush(stream_);
    shownLength_ = 0;
}
