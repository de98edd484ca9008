// net/http_outcome.h - what one HTTP attempt came to: success, or the line that says why not.
#pragma once

#include <cstdint>
#include <string>

// What was asked and what came back in one attempt, gathered by the transfer loop.
struct HttpAttempt {
    std::string url;
    int64_t offset = 0;
    int64_t length = -1; // -1: the whole resource
    int curlCode = 0;    // CURLcode
    int osError = 0;     // errno of a failed connect
    long status = 0;     // HTTP status of the last response, 0 when none came
    int64_t received = 0;
    int64_t expected = -1;      // body bytes the answer should carry, once known
    bool ignoresRanges = false; // 200 with the whole body to a range request
    bool wrongRange = false;    // 206 for other bytes than asked
    bool tooLarge = false;      // a whole fetch past its limit
    bool stalled = false;       // nothing received for the stall limit
    bool connected = false;     // the connection was made before it failed
    int stallMs = 0;
    int64_t sizeLimit = 0;
    std::string detail; // curl's own words, for failures without a line of ours
};

struct HttpOutcome {
    bool ok = false;
    bool transient = false; // worth another try after a pause
    std::string line;       // "URL: reason", for one failure
};

HttpOutcome judgeAttempt(const HttpAttempt& attempt);

// The line of a failure that was tried `tries` times, for the user.
std::string finalLine(const HttpOutcome& outcome, int tries);
