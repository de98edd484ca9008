// tests/io/load_progress_test.cpp - the progress line of a long load on a terminal.
#include "io/load_progress.h"
#include "tests/support/pseudo_terminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

// Quiet for the first half second and where the stream is no terminal; on a terminal one line,
// rewritten in place, never a line feed, erased at the end. Time is the test's own clock.
TEST(LoadProgressLine, ShownOnATerminalAfterHalfASecondThenErased) {
    PseudoTerminal terminal;
    ASSERT_NE(terminal.stream, nullptr);
    FILE* plain = std::tmpfile();
    ASSERT_NE(plain, nullptr);

    LoadProgress::Clock::time_point now{};
    const LoadProgress::Now clock = [&now] { return now; };
    LoadProgress onTerminal(terminal.stream, clock), onFile(plain, clock);
    onTerminal.start();
    onFile.start();
    ReadProgress progress;
    progress.bytesTotal = 1000;
    progress.bytesRead = 100;
    progress.pointsRead = 10;
    now += std::chrono::milliseconds(499);
    onTerminal.update(progress);
    now += std::chrono::milliseconds(101);
    progress.bytesRead = 500;
    progress.pointsRead = 3000000;
    onTerminal.update(progress);
    onFile.update(progress);
    onTerminal.finish();
    onFile.finish();
    const std::string shown = terminal.closeAndRead();
    EXPECT_EQ(shown.rfind("\rLoading points:  50%, 5.0 million points/s", 0), 0u) << shown;
    EXPECT_NE(shown.find(" million points/s\r"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos);
    const size_t erase = shown.find('\r', 1);
    ASSERT_NE(erase, std::string::npos);
    EXPECT_EQ(shown.substr(erase), "\r" + std::string(erase - 1, ' ') + "\r");
    EXPECT_EQ(std::ftell(plain), 0L);
    std::fclose(plain);
}
