// viewer/fast_reader.cpp - block reading, the in-place number parser, the character-by-character
// fallback that follows the C library's scanner, and the split of a big body over two threads.
#include "viewer/fast_reader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(sizeof(PointRecord) == 6 * sizeof(float), "a record is six packed floats");

namespace {

// A number that straddles two blocks is kept and completed from the next block if it is at most
// this long; a longer one goes through the character-by-character scan.
constexpr size_t kKeepBytes = 256;
// Share of the body left to the first thread when a body is split. The second thread first
// counts its way through the first part, but at 64 bytes a step that takes little time.
constexpr double kFirstShare = 0.52;

// White space as isspace() has it in the C locale.
inline bool isBlank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
inline bool isHexDigit(int c) {
    return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
inline int lower(int c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

inline void store(PointRecord* points, int64_t index, float value) {
    std::memcpy(reinterpret_cast<unsigned char*>(points) + index * sizeof(float), &value,
                sizeof value);
}

bool convert(const std::string& text, float* value) {
    char* end = nullptr;
    const float converted = std::strtof(text.c_str(), &end);
    if (end == text.c_str())
        return false;
    *value = converted;
    return true;
}

// Kept out of line so that the in-place parser stays small enough to inline.
__attribute__((noinline)) float convertDecimal(const char* start, const char* end) {
    float value = 0.0f;
    convert(std::string(start, end), &value);
    return value;
}

// clang-format off
constexpr double kPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};
constexpr double kNegativePowersOfTen[] = {
    1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
    1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22,
};
// clang-format on

enum class Token { Converted, NeedsMore, Unusual };

// Parses a number of the form [sign] digits [. digits] [e [sign] digits] that is followed by
// white space, at p; for such a text "%f" consumes exactly the number and converts it with
// strtof. NeedsMore when the text reaches end (it may go on in the next block); Unusual for
// anything else, which the caller hands to scanFloat. The NUL at end stops every loop.
__attribute__((noinline)) Token parseDecimalGeneral(const char* p, const char* end,
                                                    const char** next, float* value) {
    const char* const start = p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;

    // Up to 19 significant digits fit the 64-bit mantissa; a later non-zero digit would be
    // lost, so such a number goes to strtof.
    uint64_t mantissa = 0;
    int significant = 0;
    int64_t scale = 0;
    bool truncated = false;
    const char* digits = p;
    for (; isDigit(*p); ++p) {
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            significant += mantissa != 0;
        } else {
            ++scale;
            truncated |= *p != '0';
        }
    }
    int64_t digitCount = p - digits;
    if (*p == '.') {
        digits = ++p;
        for (; isDigit(*p); ++p) {
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                significant += mantissa != 0;
                --scale;
            } else {
                truncated |= *p != '0';
            }
        }
        digitCount += p - digits;
    }
    if ((*p | 0x20) == 'e') {
        const char* e = p + 1;
        const bool negativeExponent = *e == '-';
        if (*e == '-' || *e == '+')
            ++e;
        if (!isDigit(*e))
            return e == end ? Token::NeedsMore : Token::Unusual;
        int64_t exponent = 0;
        for (; isDigit(*e); ++e)
            if (exponent < 100000)
                exponent = exponent * 10 + (*e - '0');
        scale += negativeExponent ? -exponent : exponent;
        p = e;
    }
    if (p == end)
        return Token::NeedsMore;
    if (digitCount == 0 || !isBlank(*p))
        return Token::Unusual;
    *next = p;

    if (mantissa == 0) {
        *value = negative ? -0.0f : 0.0f;
        return Token::Converted;
    }
    // A float is rounded from a double that is within 4 units in the last place (ulps) of the
    // exact value: the mantissa is an exact double, and either 10^scale is exact and one
    // rounding follows, or 10^-scale is a correctly rounded double (relative error 2^-53) and
    // the product adds a rounding of its own. Rounding to float depends only on which pair of
    // float midpoints a value lies between; the midpoints are doubles whose low 29 mantissa
    // bits read 0x10000000, so a double further than 4 ulps from that pattern rounds to the
    // same float as the exact value, which is what strtof gives. Nearer ones go to strtof.
    if (!truncated && mantissa <= (uint64_t(1) << 53) && scale >= -22 && scale <= 22) {
        double near = static_cast<double>(mantissa);
        near *= scale < 0 ? kNegativePowersOfTen[-scale] : kPowersOfTen[scale];
        uint64_t bits;
        std::memcpy(&bits, &near, sizeof bits);
        if (((bits & 0x1FFFFFFF) - (0x10000000 - 8)) > 16) {
            const float rounded = static_cast<float>(near);
            *value = negative ? -rounded : rounded;
            return Token::Converted;
        }
    }
    *value = convertDecimal(start, p);
    return Token::Converted;
}

inline uint64_t load8(const char* p) {
    uint64_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// The number of decimal digits that the eight bytes start with (first byte lowest). A digit
// XOR '0' is 0..9; adding 0x76 sets the top bit of any other byte value below 0x8A and the
// byte's own top bit covers the rest. Carries only move to later bytes, so the first flagged
// byte is the first non-digit.
inline int leadingDigits(uint64_t bytes) {
    const uint64_t x = bytes ^ 0x3030303030303030;
    const uint64_t flags = ((x + 0x7676767676767676) | x) & 0x8080808080808080;
    return flags ? __builtin_ctzll(flags) >> 3 : 8;
}

// The value of the first `count` (0..7) bytes, which are digits: they are moved to the top so
// the bytes below read as leading zeros, then pairs, fours and eights are combined at once.
inline uint64_t digitsValue(uint64_t bytes, int count) {
    if (count == 0)
        return 0;
    uint64_t v = (bytes - 0x3030303030303030) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = ((v & 0x000000FF000000FF) * 0x000F424000000064 +
         ((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001) >>
        32;
    return v;
}

// clang-format off
constexpr uint64_t kIntegerPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// clang-format on

// parseDecimalGeneral for the common case of at most seven digits before and after the point
// and no exponent: the mantissa (at most 14 digits) is exact, 10^-scale a correctly rounded
// double, and the same 4-ulp argument holds. The buffer is padded so that eight bytes can be
// loaded at the end; the NUL there ends every run of digits.
__attribute__((always_inline)) inline Token parseDecimal(const char* p, const char* end,
                                                         const char** next, float* value) {
    const char* const start = p;
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    uint64_t bytes = load8(p);
    const int integerDigits = leadingDigits(bytes);
    if (integerDigits == 8)
        return parseDecimalGeneral(start, end, next, value);
    uint64_t mantissa = digitsValue(bytes, integerDigits);
    p += integerDigits;
    int fractionDigits = 0;
    if (*p == '.') {
        bytes = load8(++p);
        fractionDigits = leadingDigits(bytes);
        if (fractionDigits == 8)
            return parseDecimalGeneral(start, end, next, value);
        mantissa =
            mantissa * kIntegerPowersOfTen[fractionDigits] + digitsValue(bytes, fractionDigits);
        p += fractionDigits;
    }
    if (p == end || (*p | 0x20) == 'e' || integerDigits + fractionDigits == 0)
        return parseDecimalGeneral(start, end, next, value);
    if (!isBlank(*p))
        return Token::Unusual;
    *next = p;
    double near = static_cast<double>(mantissa) * kNegativePowersOfTen[fractionDigits];
    uint64_t bits;
    std::memcpy(&bits, &near, sizeof bits);
    if (mantissa != 0 && ((bits & 0x1FFFFFFF) - (0x10000000 - 8)) <= 16)
        near = convertDecimal(start, p);
    const float rounded = static_cast<float>(near);
    *value = negative ? -rounded : rounded;
    return Token::Converted;
}

// One bit per byte of the 64 at p, set for white space.
inline uint64_t blankMask(const char* p) {
#if defined(__SSE2__)
    uint64_t mask = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
        const __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
        // '\t' .. '\r' are the bytes that lie 0 .. 4 above '\t'.
        const __m128i control = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(control, _mm_set1_epi8(4)), control);
        const uint64_t bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm_or_si128(space, low)));
        mask |= bits << (16 * part);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= uint64_t(isBlank(static_cast<unsigned char>(p[i]))) << i;
    return mask;
#endif
}

// Converts, in place, the numbers that lie whole in [p, end) and start before `until`, as long
// as the in-place parser takes them and *index is below limit. Returns where it stopped: at
// end, or at the start of a number it left to the caller. p counts as the start of a number
// whatever precedes it. The starts come from masks of white space, 64 bytes at a time, rather
// than from the end of the number before: so the next number's parse doesn't wait for this
// one's, and the processor works on several at once. A number the parser takes is followed by
// white space, so it ends where the mask says its run ends.
inline const char* parseInPlace(const char* p, const char* end, const char* until,
                                PointRecord* points, int64_t* index, int64_t limit) {
    int64_t i = *index;
    const char* window = p;
    uint64_t blanks = blankMask(window);
    uint64_t starts = ~blanks & ((blanks << 1) | 1);
    for (;;) {
        while (starts == 0) {
            window += 64;
            if (window >= end) {
                *index = i;
                return end;
            }
            const uint64_t before = blanks >> 63;
            blanks = blankMask(window);
            starts = ~blanks & ((blanks << 1) | before);
        }
        const char* start = window + __builtin_ctzll(starts);
        starts &= starts - 1;
        if (start >= until || i == limit) {
            *index = i;
            return std::min(start, end);
        }
        const char* next = nullptr;
        float value;
        if (parseDecimal(start, end, &next, &value) != Token::Converted) {
            *index = i;
            return start;
        }
        store(points, i++, value);
    }
}

// The C library's "%f", character by character: what it consumes (greedily, pushing back only
// the character that ends the number), when it fails, and the text it hands to strtof. It
// reads "nan" without any "(...)" and "inf" or "infinity"; after a leading "0x" it takes hex
// digits and a "p" exponent; a text like "1e" or "0x1p" is consumed whole although strtof
// uses only its start.
template <class Stream> bool scanFloat(Stream& in, float* value) {
    std::string text;
    int c = in.get();
    if (c == EOF)
        return false;
    size_t signs = 0;
    if (c == '-' || c == '+') {
        text += static_cast<char>(c);
        signs = 1;
        c = in.get();
        if (c == EOF)
            return false;
    }
    if (lower(c) == 'n' || lower(c) == 'i') {
        const char* rest = lower(c) == 'n' ? "an" : "nf";
        for (; *rest; ++rest) {
            text += static_cast<char>(c);
            c = in.get();
            if (lower(c) != *rest)
                return false;
        }
        text += static_cast<char>(c);
        if (lower(c) == 'f') {
            c = in.get();
            if (lower(c) != 'i') {
                in.unget(c);
                return convert(text, value);
            }
            for (rest = "nity"; *rest; ++rest) {
                text += static_cast<char>(c);
                c = in.get();
                if (lower(c) != *rest)
                    return false;
            }
            text += static_cast<char>(c);
        }
        return convert(text, value);
    }

    int exponentChar = 'e';
    bool hex = false, gotDigit = false, gotDot = false, gotExponent = false;
    if (c == '0') {
        text += '0';
        c = in.get();
        if (lower(c) == 'x') {
            text += static_cast<char>(c);
            hex = true;
            exponentChar = 'p';
            c = in.get();
        } else {
            gotDigit = true;
        }
    }
    for (;;) {
        if (isDigit(c) || (!gotExponent && hex && isHexDigit(c))) {
            gotDigit = true;
        } else if (gotExponent && lower(text.back()) == exponentChar && (c == '-' || c == '+')) {
        } else if (gotDigit && !gotExponent && lower(c) == exponentChar) {
            gotExponent = gotDot = true;
        } else if (!gotDot && c == '.') {
            gotDot = true;
        } else {
            in.unget(c);
            break;
        }
        text += static_cast<char>(c);
        c = in.get();
        if (c == EOF)
            break;
    }
    if (text.size() == signs || (hex && text.size() == signs + 2))
        return false;
    return convert(text, value);
}

// "# points = %lld\n" as the C library scans it: '#' first, then each blank of the format
// skips any white space, and the trailing "\n" skips all white space after the count. A count
// beyond 64 bits saturates, as strtoll does; any value beyond the 32-bit range is equally
// unallocatable, so saturating earlier changes nothing.
template <class Stream> bool scanHeader(Stream& in, int64_t* declared) {
    if (in.get() != '#')
        return false;
    auto literal = [&in](int expected, bool afterBlanks) {
        int c = in.get();
        while (afterBlanks && isBlank(c))
            c = in.get();
        return c == expected;
    };
    if (!literal('p', true))
        return false;
    for (const char* rest = "oints"; *rest; ++rest)
        if (!literal(*rest, false))
            return false;
    if (!literal('=', true))
        return false;

    int c = in.get();
    while (isBlank(c))
        c = in.get();
    const bool negative = c == '-';
    if (c == '-' || c == '+')
        c = in.get();
    int64_t magnitude = 0;
    bool anyDigit = false;
    for (; isDigit(c); c = in.get()) {
        anyDigit = true;
        magnitude = std::min<int64_t>(magnitude * 10 + (c - '0'), int64_t(1) << 40);
    }
    in.unget(c);
    if (!anyDigit)
        return false;
    *declared = negative ? -magnitude : magnitude;

    do
        c = in.get();
    while (isBlank(c));
    in.unget(c);
    return true;
}

} // namespace

// A file read a block at a time with one character of pushback, like a stdio stream. The byte
// after the buffered ones is always NUL, which stops the parser's loops without bounds checks,
// and at least 64 more bytes follow it so that the parser can load eight or 64 at a time.
// It doesn't own the descriptor: both threads of a split body read the same one with pread.
struct BlockStream {
    int fd = -1;
    bool seekable = false;
    bool ended = false;
    char* data = nullptr;
    size_t blockBytes = 0;
    size_t length = 0;
    size_t position = 0;
    int64_t base = 0; // file offset of data[0]

    ~BlockStream() { delete[] data; }

    bool init(int descriptor, bool canSeek, size_t block) {
        fd = descriptor;
        seekable = canSeek;
        blockBytes = std::max<size_t>(block, 1);
        data = new (std::nothrow) char[blockBytes + kKeepBytes + 80]();
        if (data)
            data[0] = '\0';
        return data != nullptr;
    }

    int64_t offset() const { return base + static_cast<int64_t>(position); }

    void seek(int64_t to) {
        base = to;
        length = position = 0;
        ended = false;
        data[0] = '\0';
    }

    // Moves the bytes from keep on (at most kKeepBytes of them) to the front and reads a block
    // after them. False once the file has ended: like a stdio stream's, the end is sticky.
    bool refill(size_t keep) {
        if (ended)
            return false;
        const size_t kept = length - keep;
        std::memmove(data, data + keep, kept);
        base += static_cast<int64_t>(keep);
        position -= keep;
        length = kept;
        ssize_t got;
        do
            got = seekable ? pread(fd, data + kept, blockBytes, base + static_cast<int64_t>(kept))
                           : read(fd, data + kept, blockBytes);
        while (got < 0 && errno == EINTR);
        // A read error ends the file, as it ends a stdio stream's input.
        if (got <= 0)
            ended = true;
        else
            length += static_cast<size_t>(got);
        data[length] = '\0';
        return got > 0;
    }

    int get() {
        if (position == length && !refill(length))
            return EOF;
        return static_cast<unsigned char>(data[position++]);
    }
    void unget(int c) {
        if (c != EOF)
            --position;
    }
};

namespace {

// The second thread of a split body. Numbers are separated by white space in every file that
// the in-place parser takes, so the runs of non-blank characters before a blank are exactly
// the numbers before it: the thread counts them from the body's start up to the first blank at
// or after `from`, which gives the index of the first number after that blank. It then parses
// from there with the in-place parser alone and stops at the first text that parser doesn't
// take; the first thread, once it reaches the same blank with the same index, carries on from
// where this one stopped.
struct Helper {
    int fd = -1;
    size_t blockBytes = 0;
    int64_t bodyStart = 0;
    int64_t from = 0;
    int64_t limit = 0;
    PointRecord* points = nullptr;
    pthread_t thread{};

    std::atomic<bool> cancelled{false};
    std::atomic<int64_t> bytesParsed{0};
    std::atomic<int64_t> numbersParsed{0};

    std::mutex mutex;
    std::condition_variable located;
    bool isLocated = false;
    int64_t blankAt = INT64_MAX; // INT64_MAX when the thread found none
    int64_t firstIndex = 0;

    // Valid after the thread is joined.
    int64_t stopOffset = 0;
    int64_t stopIndex = 0;

    void run();
    void publish(int64_t blank, int64_t index) {
        std::lock_guard<std::mutex> lock(mutex);
        blankAt = blank;
        firstIndex = index;
        isLocated = true;
        located.notify_all();
    }
    int64_t waitForBlank() {
        std::unique_lock<std::mutex> lock(mutex);
        located.wait(lock, [this] { return isLocated; });
        return blankAt;
    }
};

void* runHelper(void* helper) {
    static_cast<Helper*>(helper)->run();
    return nullptr;
}

void Helper::run() {
    BlockStream in;
    if (!in.init(fd, true, blockBytes)) {
        publish(INT64_MAX, 0);
        return;
    }
    in.seek(bodyStart);
    int64_t runs = 0;
    bool blank = true;
    int64_t blankOffset = -1;
    while (blankOffset < 0) {
        if (cancelled.load(std::memory_order_relaxed) ||
            (in.position == in.length && !in.refill(in.length)))
            break;
        const char* p = in.data + in.position;
        const char* end = in.data + in.length;
        const int64_t before = std::min<int64_t>(end - p, std::max<int64_t>(from - in.offset(), 0));
        const char* stop = p + before;
        for (; stop - p >= 64; p += 64) {
            const uint64_t blanks = blankMask(p);
            runs += __builtin_popcountll(~blanks & ((blanks << 1) | uint64_t(blank)));
            blank = blanks >> 63;
        }
        for (; p < stop; ++p) {
            const bool isB = isBlank(static_cast<unsigned char>(*p));
            runs += blank && !isB;
            blank = isB;
        }
        for (; p < end && !isBlank(static_cast<unsigned char>(*p)); ++p) {
            runs += blank;
            blank = false;
        }
        in.position = static_cast<size_t>(p - in.data);
        if (p < end)
            blankOffset = in.offset();
    }
    if (blankOffset < 0) {
        // The file ended (or the first thread finished) before `from`: nothing to share.
        publish(INT64_MAX, 0);
        return;
    }
    publish(blankOffset, runs);

    int64_t index = runs;
    while (index < limit && !cancelled.load(std::memory_order_relaxed)) {
        const char* end = in.data + in.length;
        const char* p = parseInPlace(in.data + in.position, end, end, points, &index, limit);
        in.position = static_cast<size_t>(p - in.data);
        bytesParsed.store(in.offset() - blankOffset, std::memory_order_relaxed);
        numbersParsed.store(index - runs, std::memory_order_relaxed);
        if (p < end) {
            // A number that may go on in the next block is completed from it; anything else
            // the in-place parser doesn't take is left to the first thread.
            const char* next = nullptr;
            float value;
            if (index == limit || in.ended || end - p > int64_t(kKeepBytes) ||
                parseDecimal(p, end, &next, &value) != Token::NeedsMore)
                break;
            in.refill(in.position);
        } else if (!in.refill(in.length)) {
            break;
        }
    }
    stopOffset = in.offset();
    stopIndex = index;
}

void stopHelper(Helper* helper) {
    helper->cancelled.store(true, std::memory_order_relaxed);
    pthread_join(helper->thread, nullptr);
    delete helper;
}

} // namespace

FastReader::FastReader(const FastReadOptions& options) : options_(options) {}

FastReader::~FastReader() {
    if (stream_ && stream_->fd >= 0)
        close(stream_->fd);
    releasePoints(points_);
}

ReadOutcome FastReader::open(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return outcome_ = ReadOutcome::CannotOpen;
    if (isDirectory(fd)) {
        close(fd);
        return outcome_ = ReadOutcome::CannotOpen;
    }
    struct stat status;
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    fileSize_ = regular ? static_cast<int64_t>(status.st_size) : 0;
    stream_.reset(new (std::nothrow) BlockStream);
    if (!stream_ || !stream_->init(fd, regular, options_.blockBytes)) {
        close(fd);
        stream_.reset();
        return outcome_ = ReadOutcome::CannotAllocate;
    }

    int64_t declared = 0;
    scanHeader(*stream_, &declared);
    points_ = declared <= INT32_MAX ? allocatePoints(declared) : nullptr;
    if (!points_) {
        close(fd);
        stream_.reset();
        return outcome_ = ReadOutcome::CannotAllocate;
    }
    declared_ = declared;
    return outcome_ = ReadOutcome::Read;
}

void FastReader::readBody() {
    if (outcome_ != ReadOutcome::Read || !stream_)
        return;
    const bool split = stream_->seekable && fileSize_ - stream_->offset() >= options_.splitBytes;
    count_ = static_cast<int32_t>(parseRange(0, declared_ * 6, split) / 6);
    recordsReady_.store(count_, std::memory_order_release);
    close(stream_->fd);
    stream_.reset();
}

// Parses numbers index .. limit-1 into the records and returns the index of the first number
// that wasn't read: the first that doesn't scan, or the one at the end of the file.
int64_t FastReader::parseRange(int64_t index, int64_t limit, bool split) {
    BlockStream& in = *stream_;
    const int64_t bodyStart = in.offset();

    Helper* helper = nullptr;
    if (split && limit > index) {
        helper = new (std::nothrow) Helper;
        if (helper) {
            helper->fd = in.fd;
            helper->blockBytes = options_.blockBytes;
            helper->bodyStart = bodyStart;
            helper->from =
                bodyStart +
                static_cast<int64_t>(static_cast<double>(fileSize_ - bodyStart) * kFirstShare);
            helper->limit = limit;
            helper->points = points_;
            if (pthread_create(&helper->thread, nullptr, runHelper, helper) != 0) {
                delete helper;
                helper = nullptr;
            }
        }
    }
    // The first number at or after `trigger` is where the helper's result may take over.
    int64_t trigger = helper ? helper->from : INT64_MAX;
    int64_t previousEnd = -1;

    auto report = [&] {
        // Records below the first thread's index are final: nothing writes them again.
        recordsReady_.store(index / 6, std::memory_order_release);
        if (!options_.progress)
            return;
        ReadProgress progress;
        progress.bytesRead = in.offset();
        int64_t numbers = index;
        if (helper) {
            progress.bytesRead += helper->bytesParsed.load(std::memory_order_relaxed);
            numbers += helper->numbersParsed.load(std::memory_order_relaxed);
        }
        progress.bytesTotal = fileSize_;
        progress.pointsRead = numbers / 6;
        options_.progress(progress);
    };

    while (index < limit) {
        const char* end = in.data + in.length;
        int64_t untilInBlock = std::min<int64_t>(std::max<int64_t>(trigger - in.base, 0),
                                                 static_cast<int64_t>(in.length));
        // Right after a number from scanFloat the next one may follow without a blank, and
        // the checks below must see it before the in-place parser takes it.
        if (helper && previousEnd == in.offset())
            untilInBlock = static_cast<int64_t>(in.position);
        const char* p = parseInPlace(in.data + in.position, end, in.data + untilInBlock, points_,
                                     &index, limit);
        in.position = static_cast<size_t>(p - in.data);
        if (index == limit)
            break;
        if (p == end) {
            if (!in.refill(in.length))
                break;
            report();
            continue;
        }

        // At the start of a number that the in-place parser left, or at the trigger.
        if (helper) {
            const int64_t at = in.offset();
            if (at == previousEnd) {
                // Two numbers without a blank between them: the helper's count of runs
                // doesn't give indices here, and this thread is about to write the index it
                // starts at. It stops before that happens and this thread reads on alone.
                stopHelper(helper);
                helper = nullptr;
                trigger = INT64_MAX;
            } else if (at >= trigger) {
                const int64_t blankAt = helper->waitForBlank();
                trigger = blankAt == INT64_MAX ? INT64_MAX : blankAt + 1;
                if (at > blankAt) {
                    pthread_join(helper->thread, nullptr);
                    if (index == helper->firstIndex) {
                        index = helper->stopIndex;
                        in.seek(helper->stopOffset);
                    } else {
                        // Cannot happen while every number so far had its own run; should it,
                        // reading again alone from the start can't go wrong.
                        index = 0;
                        in.seek(bodyStart);
                    }
                    delete helper;
                    helper = nullptr;
                    trigger = INT64_MAX;
                    previousEnd = -1;
                    report();
                    continue;
                }
            }
        }

        const char* next = nullptr;
        float value;
        const Token token = parseDecimal(p, end, &next, &value);
        if (token == Token::NeedsMore && !in.ended && end - p <= int64_t(kKeepBytes)) {
            if (in.refill(in.position))
                report();
            continue;
        }
        if (token == Token::Converted)
            in.position = static_cast<size_t>(next - in.data);
        else if (!scanFloat(in, &value))
            break;
        store(points_, index++, value);
        previousEnd = in.offset();
    }
    if (helper)
        stopHelper(helper);
    return index;
}

PointReadResult FastReader::take() {
    PointReadResult result;
    result.outcome = outcome_;
    if (outcome_ == ReadOutcome::Read) {
        result.points = points_;
        result.count = count_;
        points_ = nullptr;
    }
    return result;
}

PointReadResult readPointFile(const char* path, const FastReadOptions& options) {
    FastReader reader(options);
    if (reader.open(path) == ReadOutcome::Read)
        reader.readBody();
    return reader.take();
}
