// One finished block read at once by several threads, each through its own
// handle and its own cursor, while other threads build streams of their own.
// Run under ThreadSanitizer, any shared state in the library is a report.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "vok32.h"

namespace {

constexpr int kItems = 200;

std::string text_of(int i) { return "item " + std::to_string(i); }

// type 9, version 4: per i a phrase mark, a signed, an unsigned, a string.
std::vector<uint8_t> build_shared_block() {
    vokStream s{};
    EXPECT_EQ(vokCreateStream(&s, 9, 4), VOK_OK);
    for (int i = 0; i < kItems; ++i) {
        vokWritePhraseMark(&s, static_cast<uint8_t>(i));
        vokWriteSigned(&s, -i * 1000);
        vokWriteUnsigned(&s, static_cast<uint32_t>(i) * 70000u);
        vokWriteUTF8String(&s, text_of(i).c_str());
    }
    EXPECT_EQ(vokCloseStream(&s), VOK_OK);
    std::vector<uint8_t> block(s.data, s.data + s.position);
    vokDestroyStream(vokGetData(&s));
    return block;
}

// Counts the values read back correctly through a handle.
int read_with_handle(const uint8_t *block) {
    vokStream s{};
    if (vokOpenStream(&s, block, 9, 4) != VOK_OK) return 0;
    int good = 0;
    for (int i = 0; i < kItems; ++i) {
        uint8_t phrase = 0;
        int32_t sv = 0;
        uint32_t uv = 0, size = 0;
        char buffer[32] = {};
        const bool ok = vokReadPhraseMark(&s, &phrase) == VOK_OK && phrase == i &&
                        vokReadSigned(&s, &sv) == VOK_OK && sv == -i * 1000 &&
                        vokReadUnsigned(&s, &uv) == VOK_OK && uv == uint32_t(i) * 70000u &&
                        vokGetStringSize(&s, &size) == VOK_OK && size < sizeof buffer &&
                        vokReadString(&s, buffer) == VOK_OK && text_of(i) == buffer;
        good += ok;
    }
    // A second pass by phrase skipping.
    vokReset(&s);
    int phrases = 0;
    while (vokPeek(&s) == VOK_PHRASE_MARK) {
        uint8_t phrase = 0;
        vokReadPhraseMark(&s, &phrase);
        ++phrases;
        if (vokSkipPhrase(&s) == VOK_END) break;
    }
    return phrases == kItems ? good : 0;
}

int read_with_cursor(const uint8_t *block) {
    uint8_t *p = const_cast<uint8_t *>(block); // the decoders only read
    if (vokValidateStream(&p, 9, 4) != VOK_OK) return 0;
    int good = 0;
    for (int i = 0; i < kItems; ++i) {
        p += 2; // phrase mark
        int32_t sv = 0;
        uint32_t uv = 0;
        char *text = nullptr;
        const bool ok = vokDecodeSigned(&p, &sv) == VOK_OK && sv == -i * 1000 &&
                        vokDecodeUnsigned(&p, &uv) == VOK_OK && uv == uint32_t(i) * 70000u &&
                        vokDecodeString(&p, &text) == VOK_OK && text_of(i) == text;
        vokDestroyStream(text);
        good += ok;
    }
    return vokPeekType(p) == VOK_END ? good : 0;
}

// Builds a private stream with its own reopen-copy and append, and checks it.
bool build_own_stream(int seed) {
    vokStream a{}, b{}, copy{};
    if (vokCreateStream(&a, 1, 1) != VOK_OK || vokCreateStream(&b, 2, 2) != VOK_OK) return false;
    for (int i = 0; i < 300; ++i) {
        vokWriteUnsigned(&a, static_cast<uint32_t>(seed + i));
        vokWriteString(&b, "appended");
    }
    vokCloseStream(&b);
    vokAppendStream(&a, &b);
    vokCloseStream(&a);
    const bool copied = vokReopenCopyStream(&copy, vokGetData(&a), 1, 1) == VOK_OK &&
                        vokCloseStream(&copy) == VOK_OK && copy.position == a.position &&
                        std::memcmp(copy.data, a.data, a.position) == 0;
    vokDestroyStream(vokGetData(&a));
    vokDestroyStream(vokGetData(&b));
    vokDestroyStream(vokGetData(&copy));
    return copied;
}

TEST(Concurrency, ReadersShareOneBlockWhileWritersBuildTheirOwn) {
    const std::vector<uint8_t> block = build_shared_block();
    constexpr int kRounds = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                const int good =
                    t % 2 == 0 ? read_with_handle(block.data()) : read_with_cursor(block.data());
                if (good != kItems) ++failures;
            }
        });
    }
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r)
                if (!build_own_stream(t * 1000 + r)) ++failures;
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
