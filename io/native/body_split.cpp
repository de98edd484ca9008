// io/native/body_split.cpp - the second thread: finding its first number by counting runs, then
// parsing in place until the first text the in-place parser leaves.
#include "io/native/body_split.h"

#include "io/native/block_stream.h"
#include "io/native/number_parsing.h"

#include <algorithm>

namespace native {

bool startHelper(Helper* helper) {
    return helper->task.start([helper] { helper->run(); });
}

void Helper::run() {
    BlockStream in;
    if (!in.init(source, blockBytes)) {
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
    helper->task.wait();
    delete helper;
}

} // namespace native
