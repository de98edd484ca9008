// io/file_signatures.cpp - a small table of well-known signatures, and the text or bytes of a
// head that carries none.
#include "io/file_signatures.h"

#include <cstdio>
#include <cstring>

namespace {

struct Signature {
    const char* bytes;
    size_t length;
    const char* name;
    bool pointFormat; // one this program reads: not foreign
};

// clang-format off
const Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n", 8, "a PNG signature", false},
    {"\xff\xd8\xff", 3, "a JPEG signature", false},
    {"GIF87a", 6, "a GIF signature", false},
    {"GIF89a", 6, "a GIF signature", false},
    {"II*\0", 4, "a TIFF signature", false},
    {"MM\0*", 4, "a TIFF signature", false},
    {"%PDF-", 5, "a PDF signature", false},
    {"PK\x03\x04", 4, "a ZIP signature", false},
    {"PK\x05\x06", 4, "a ZIP signature", false},
    {"\x1f\x8b", 2, "a gzip signature", false},
    {"BZh", 3, "a bzip2 signature", false},
    {"\xfd" "7zXZ\0", 6, "an xz signature", false},
    {"7z\xbc\xaf\x27\x1c", 6, "a 7-Zip signature", false},
    {"\x28\xb5\x2f\xfd", 4, "a zstd signature", false},
    {"\x7f" "ELF", 4, "an ELF signature", false},
    {"\x89HDF\r\n\x1a\n", 8, "an HDF5 signature", false},
    {"LASF", 4, "a LASF signature", true},
    {"ASTM-E57", 8, "an E57 signature", true},
    {"# .PCD", 6, "a PCD signature", true},
    {"ply\n", 4, "a \"ply\" line", true},
    {"ply\r\n", 5, "a \"ply\" line", true},
};
// clang-format on

const Signature* knownSignature(const unsigned char* head, size_t size) {
    for (const Signature& signature : kSignatures)
        if (size >= signature.length && std::memcmp(head, signature.bytes, signature.length) == 0)
            return &signature;
    return nullptr;
}

// Printable ASCII, blanks and line ends, or the bytes of UTF-8 beyond ASCII.
bool looksLikeText(const unsigned char* head, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = head[i];
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t')
            return false;
        if (c == 0x7f)
            return false;
    }
    return true;
}

} // namespace

std::string describeHead(const unsigned char* head, size_t size) {
    if (size == 0)
        return "no bytes";
    if (const Signature* signature = knownSignature(head, size))
        return signature->name;
    constexpr size_t kShown = 24;
    const size_t shown = size < kShown ? size : kShown;
    std::string text;
    if (looksLikeText(head, shown)) {
        // The first line that holds something, as far as it goes.
        size_t from = 0;
        while (from < shown && (head[from] == '\n' || head[from] == '\r'))
            ++from;
        size_t to = from;
        while (to < shown && head[to] != '\n' && head[to] != '\r')
            ++to;
        text = "the text \"" + std::string(reinterpret_cast<const char*>(head) + from, to - from);
        return text + (to < size && head[to] != '\n' && head[to] != '\r' ? "...\"" : "\"");
    }
    constexpr size_t kBytes = 8;
    text = "the bytes";
    for (size_t i = 0; i < size && i < kBytes; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", head[i]);
        text += hex;
    }
    return size > kBytes ? text + " ..." : text;
}

bool hasForeignSignature(const unsigned char* head, size_t size) {
    const Signature* signature = knownSignature(head, size);
    return signature && !signature->pointFormat;
}
