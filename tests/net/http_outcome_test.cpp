// tests/net/http_outcome_test.cpp - the lines of failures the loopback servers cannot stage
// (a name that does not resolve needs a resolver, which the tests must not ask) and which of
// them are worth another try.
#include "net/http_outcome.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>

TEST(HttpOutcome, FailuresWithoutALoopbackStageGiveTheirLine) {
    auto attempt = [](int curlCode, long status) {
        HttpAttempt a;
        a.url = "http://h/x";
        a.offset = 100;
        a.length = 50;
        a.curlCode = curlCode;
        a.status = status;
        a.connected = true;
        return a;
    };
    HttpAttempt unresolved = attempt(CURLE_COULDNT_RESOLVE_HOST, 0);
    HttpAttempt unreachable = attempt(CURLE_COULDNT_CONNECT, 0);
    unreachable.osError = ENETUNREACH;
    HttpAttempt connecting = attempt(CURLE_OPERATION_TIMEDOUT, 0);
    connecting.connected = false;
    const struct {
        HttpAttempt attempt;
        const char* line;
        bool transient;
    } rows[] = {
        {unresolved, "http://h/x: host name not found", false},
        {unreachable, "http://h/x: could not connect (Network is unreachable)", true},
        {connecting, "http://h/x: timed out connecting", true},
        {attempt(CURLE_OK, 403), "http://h/x: access denied (HTTP 403)", false},
        {attempt(CURLE_OK, 429), "http://h/x: the server answered HTTP 429", true},
        {attempt(CURLE_OK, 400), "http://h/x: the server answered HTTP 400", false},
        {attempt(CURLE_TOO_MANY_REDIRECTS, 302), "http://h/x: too many redirects", false},
    };
    for (const auto& row : rows) {
        const HttpOutcome outcome = judgeAttempt(row.attempt);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.line, row.line);
        EXPECT_EQ(outcome.transient, row.transient) << row.line;
    }
    EXPECT_EQ(finalLine(judgeAttempt(attempt(CURLE_OK, 503)), 4),
              "http://h/x: the server answered HTTP 503 (tried 4 times)");
}
