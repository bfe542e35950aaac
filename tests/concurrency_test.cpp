// One finished block read at once by several threads, each through its own
// handle and its own cursor, while other threads build streams of their own.
// Run under ThreadSanitizer, any shared state in the library is a report.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "byte_helpers.hpp"

namespace {

using namespace vok_test;

constexpr int kPhrases = 200;

std::string text_of(int i) { return "item " + std::to_string(i); }

// Phrase i holds -1000 i and the text "item i".
Bytes build_shared_block() {
    vokStream s{};
    vokCreateStream(&s, 9, 4);
    for (int i = 0; i < kPhrases; ++i) {
        vokWritePhraseMark(&s, static_cast<uint8_t>(i));
        vokWriteSigned(&s, -1000 * i);
        vokWriteUTF8String(&s, text_of(i).c_str());
    }
    return finish(s);
}

// Reads every item through a handle and a cursor side by side; false at the
// first difference.
bool read_back(const uint8_t *block) {
    vokStream s{};
    uint8_t *p = const_cast<uint8_t *>(block); // the decoders only read
    if (vokOpenStream(&s, block, 9, 4) != VOK_OK || vokValidateStream(&p, 9, 4) != VOK_OK)
        return false;
    for (int i = 0; i < kPhrases; ++i) {
        uint8_t phrase = 0;
        int32_t read = 0, decoded = 0;
        char text[16] = {};
        char *copy = nullptr;
        p += 2; // the cursor family has no phrase mark decoder
        if (vokReadPhraseMark(&s, &phrase) != VOK_OK || phrase != i ||
            vokReadSigned(&s, &read) != VOK_OK || vokDecodeSigned(&p, &decoded) != VOK_OK ||
            read != -1000 * i || decoded != read || vokReadString(&s, text) != VOK_OK ||
            vokDecodeString(&p, &copy) != VOK_OK || text_of(i) != text || text_of(i) != copy)
            return false;
        vokDestroyStream(copy);
    }
    return vokPeek(&s) == VOK_END && vokPeekType(p) == VOK_END;
}

// Builds a private stream with its own append and reopen-copy.
bool build_own_stream(int seed) {
    vokStream a{}, b{}, copy{};
    if (vokCreateStream(&a, 1, 1) != VOK_OK || vokCreateStream(&b, 2, 2) != VOK_OK) return false;
    for (int i = 0; i < 300; ++i) {
        vokWriteUnsigned(&a, static_cast<uint32_t>(seed + i));
        vokWriteString(&b, "appended");
    }
    const bool appended = vokCloseStream(&b) == VOK_OK && vokAppendStream(&a, &b) == VOK_OK;
    const Bytes whole = finish(a);
    const bool copied =
        vokReopenCopyStream(&copy, whole.data(), 1, 1) == VOK_OK && finish(copy) == whole;
    vokDestroyStream(b.data);
    return appended && copied;
}

TEST(Concurrency, ReadersShareOneBlockWhileWritersBuildTheirOwn) {
    const Bytes block = build_shared_block();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int r = 0; r < 100; ++r)
                if (!(t < 4 ? read_back(block.data()) : build_own_stream(t * 1000 + r))) ++failures;
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
