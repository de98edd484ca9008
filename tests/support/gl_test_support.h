// tests/support/gl_test_support.h - what every test process that opens GLUT windows under the
// shared X server needs: a screen area of its own, a first connection that waits out a server
// reset, GLUT's events pumped with a time limit, GLUT closed before exit, and the GL driver kept
// loaded for the leak checker.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

// A position on the screen, in pixels from its top-left corner.
struct ScreenSlot {
    int x = 0, y = 0;
};

// Tests run in parallel under one X server, and a front-buffer read returns what is on the
// screen, so each process draws in an area of its own: the first free slot of its family's
// table, held by a file lock (per family, display and slot) that the system releases when the
// process ends. When all are taken it waits for one rather than share it. The tables of the
// families must not overlap each other, nor the viewer's corner at (0, 0).
ScreenSlot claimScreenSlot(const char* family, const std::vector<ScreenSlot>& slots);

// Initialises GLUT under programName and keeps the GL driver it loads (see keepGlDriverLoaded).
// The X server resets when its last client leaves and refuses connections meanwhile: a
// connection of our own, tried for up to five seconds and held while GLUT connects, rides that
// out. Returns false, with GLUT left uninitialised, when the server refused for that long.
bool initGlutHoldingServer(const char* programName);

// Mesa unloads its driver, and the libraries it pulled in, when GLUT closes the display at
// exit, before the leak checker runs: the driver's allocations (one under
// glXQueryExtensionsString, made by glutInit itself) would then have no module name for the
// suppressions, and the checker would trip over the thread-local storage left behind by the
// unloaded libraries. So nothing loaded so far is ever unloaded. glutInit loads the driver, so
// initGlutHoldingServer calls this at once; a process that must call glutInit itself calls it
// right after.
void keepGlDriverLoaded();

// Runs GLUT's events, a pass at a time, until done() holds or `limit` has passed; returns
// done()'s last answer.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// Closes the display before the process ends, which stops the GL driver's threads: the leak
// checker, stopping every thread at exit, now and then crashed on one of them. Register it with
// ::testing::AddGlobalTestEnvironment(new GlutShutdown).
struct GlutShutdown : ::testing::Environment {
    void TearDown() override;
};
