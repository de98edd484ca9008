// tests/support/polling.cpp - the one polling loop of the tests.
#include "tests/support/polling.h"

#include <thread>

bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               const std::function<void()>& between) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        if (between)
            between();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
