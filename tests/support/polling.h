// tests/support/polling.h - waiting for what a test expects, with a time limit: no test waits a
// fixed time.
#pragma once

#include <chrono>
#include <functional>

// Asks done() until it holds or `limit` has passed, calling between() after each no (without
// one, sleeping 10 ms); returns done()'s last answer.
bool pollUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15),
               const std::function<void()>& between = nullptr);
