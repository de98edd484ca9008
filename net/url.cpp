// net/url.cpp - telling a URL from a path, and URLs relative to another.
#include "net/url.h"

#include <curl/curl.h>

#include <strings.h>

bool isUrl(const char* text) {
    return text && (strncasecmp(text, "http://", 7) == 0 || strncasecmp(text, "https://", 8) == 0);
}

std::string resolveUrl(const std::string& base, const std::string& relative) {
    // curl's URL parser resolves a URL set on a handle that already holds one against it, with
    // the dot segments and query handling of the standard.
    CURLU* url = curl_url();
    if (!url)
        return "";
    std::string resolved;
    char* text = nullptr;
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, relative.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK)
        resolved = text;
    curl_free(text);
    curl_url_cleanup(url);
    return resolved;
}
