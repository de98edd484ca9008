// net/url.h - telling a URL from a path, and URLs relative to another.
#pragma once

#include <string>

// True for "http://…" and "https://…" (scheme in any case): what the viewer opens over HTTP
// rather than as a file.
bool isUrl(const char* text);

// The URL that `relative` names when read from the document at `base` (as a browser resolves a
// link): "ept-data/0-0-0-0.laz" against "http://h/d/ept.json" is "http://h/d/ept-data/0-0-0-0.laz".
// An absolute `relative` stands alone. Empty when either cannot be parsed.
std::string resolveUrl(const std::string& base, const std::string& relative);
