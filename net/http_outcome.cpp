// net/http_outcome.cpp - what one HTTP attempt came to: success, or the line that says why not.
#include "net/http_outcome.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>

namespace {

HttpOutcome failure(const HttpAttempt& attempt, const std::string& reason, bool transient) {
    return {false, transient, attempt.url + ": " + reason};
}

std::string seconds(int ms) {
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    return std::to_string(ms) + " ms";
}

// What was asked, in the words of the short-body lines.
std::string asked(const HttpAttempt& attempt) {
    return "asked for " + std::to_string(attempt.length) + " bytes at " +
           std::to_string(attempt.offset);
}

HttpOutcome judgeStatus(const HttpAttempt& attempt) {
    const long status = attempt.status;
    const std::string code = "HTTP " + std::to_string(status);
    if (status == 404 || status == 410)
        return failure(attempt, "not found (" + code + ")", false);
    if (status == 401 || status == 403)
        return failure(attempt, "access denied (" + code + ")", false);
    // Overload, gateway trouble and rate limits pass; a 4xx is the request's own fault.
    const bool transient = status >= 500 || status == 408 || status == 429;
    return failure(attempt, "the server answered " + code, transient);
}

HttpOutcome judgeBody(const HttpAttempt& attempt) {
    const bool ranged = attempt.length >= 0;
    if (attempt.ignoresRanges)
        return failure(attempt, "the server does not answer range requests", false);
    if (attempt.wrongRange)
        return failure(attempt, asked(attempt) + ", the server sent other bytes", false);
    if (attempt.tooLarge)
        return failure(attempt, "larger than " + std::to_string(attempt.sizeLimit) + " bytes",
                       false);
    if (attempt.expected >= 0 && attempt.received != attempt.expected) {
        // A body cut short by a server that then closed cleanly: another try may do better.
        if (ranged)
            return failure(attempt, asked(attempt) + ", got " + std::to_string(attempt.received),
                           attempt.received < attempt.expected);
        return failure(attempt,
                       "got " + std::to_string(attempt.received) + " of " +
                           std::to_string(attempt.expected) + " bytes",
                       attempt.received < attempt.expected);
    }
    return {true, false, ""};
}

} // namespace

HttpOutcome judgeAttempt(const HttpAttempt& attempt) {
    if (attempt.stalled)
        return failure(attempt, "timed out (nothing received for " + seconds(attempt.stallMs) + ")",
                       true);
    switch (attempt.curlCode) {
        case CURLE_OK:
        case CURLE_WRITE_ERROR: // the write callback stopped it, and set a flag saying why
            if (attempt.status >= 300)
                return judgeStatus(attempt);
            return judgeBody(attempt);
        case CURLE_COULDNT_RESOLVE_HOST:
            return failure(attempt, "host name not found", false);
        case CURLE_COULDNT_CONNECT:
            if (attempt.osError == ECONNREFUSED)
                return failure(attempt, "connection refused", false);
            return failure(attempt,
                           std::string("could not connect (") +
                               (attempt.osError ? std::strerror(attempt.osError) : "no reason") +
                               ")",
                           true);
        case CURLE_OPERATION_TIMEDOUT:
            if (!attempt.connected)
                return failure(attempt, "timed out connecting", true);
            return failure(attempt, "timed out", true);
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            if (attempt.length >= 0)
                return failure(attempt,
                               "connection dropped: " + asked(attempt) + ", got " +
                                   std::to_string(attempt.received),
                               true);
            return failure(
                attempt, "connection dropped after " + std::to_string(attempt.received) + " bytes",
                true);
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return failure(attempt, "not a valid http or https URL", false);
        case CURLE_TOO_MANY_REDIRECTS:
            return failure(attempt, "too many redirects", false);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
            return failure(attempt, "secure connection failed: " + attempt.detail, false);
        default:
            return failure(attempt,
                           attempt.detail.empty() ? curl_easy_strerror(CURLcode(attempt.curlCode))
                                                  : attempt.detail,
                           false);
    }
}

std::string finalLine(const HttpOutcome& outcome, int tries) {
    if (tries <= 1)
        return outcome.line;
    return outcome.line + " (tried " + std::to_string(tries) + " times)";
}
