// tests/net/url_test.cpp - telling URLs from paths and resolving names relative to a URL.
#include "net/url.h"

#include <gtest/gtest.h>

TEST(Url, OnlyHttpAndHttpsCount) {
    const struct {
        const char* text;
        bool url;
    } rows[] = {
        {"http://example.org/a.copc.laz", true},
        {"HTTPS://example.org/a.copc.laz", true},
        {"https://", true},
        {"http:/x.laz", false},
        {"ftp://example.org/a.laz", false},
        {"file:///tmp/a.laz", false},
        {"./http://a.laz", false},
        {"cloud.ply", false},
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isUrl(row.text), row.url) << row.text;
    EXPECT_FALSE(isUrl(nullptr));
}

TEST(Url, RelativeNamesResolveAgainstTheDocument) {
    const std::string base = "http://host:8080/data/set/ept.json?sig=1";
    const struct {
        const char* relative;
        const char* resolved;
    } rows[] = {
        {"ept-data/0-0-0-0.laz", "http://host:8080/data/set/ept-data/0-0-0-0.laz"},
        {"./ept-hierarchy/1-0-0-0.json", "http://host:8080/data/set/ept-hierarchy/1-0-0-0.json"},
        {"../other/ept.json", "http://host:8080/data/other/ept.json"},
        {"/root.json", "http://host:8080/root.json"},
        {"https://elsewhere/x.laz", "https://elsewhere/x.laz"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(resolveUrl(base, row.relative), row.resolved) << row.relative;
    EXPECT_EQ(resolveUrl("not a url", "x.json"), "");
}
