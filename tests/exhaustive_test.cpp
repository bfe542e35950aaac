// Every body of up to three bytes behind a valid header, each block flush
// against an inaccessible page so that a read past its end faults.  Every
// reader runs at every offset, the end marker and one past it, held to rules
// that need no model of the format (the reader fuzzer has the full model).
#include <gtest/gtest.h>

#if defined(__linux__)

#include <cstdint>
#include <cstring>

#include "guard_page.hpp"
#include "vok32.h"

namespace {

using vok_test::guarded_end;

#if defined(__has_feature) // clang's way; GCC defines __SANITIZE_*__
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VOK_SANITIZED_BUILD 1
#endif
#endif

// Optimised builds take every three-byte body; slower builds a sample that
// still meets every first byte with every last byte (the strides are prime).
#if defined(VOK_SANITIZED_BUILD) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr uint32_t kThreeByteStride = 61;
#elif !defined(NDEBUG)
constexpr uint32_t kThreeByteStride = 13;
#else
constexpr uint32_t kThreeByteStride = 1;
#endif

constexpr uint8_t kHeader[] = {0, 0, 0, 0, VOK_START, 1, VOK_UNSIGNED_1, 0};
constexpr uint32_t kBodyStart = sizeof kHeader;

template <typename... Set> bool one_of(unsigned v, Set... set) {
    return ((v == unsigned(set)) || ...);
}

// Runs every reader at s.position of an opened block of `total` bytes and
// returns the first broken rule, or null.  String buffers end at a guard.
const char *probe(vokStream &s, uint32_t total, uint8_t *strings_end) {
    const uint32_t from = s.position;
    const char *fault = nullptr;
    auto expect = [&](bool ok, const char *what) {
        if (!ok && fault == nullptr) fault = what;
    };
    auto stays = [&] { return s.position == from; };
    auto consumed = [&] { return s.position > from && s.position < total; };
    // A success consumes an item before the end marker, a refusal stays put.
    auto settle = [&](uint16_t status, uint16_t refusal, const char *reader) {
        const bool known = one_of(status, VOK_OK, refusal, VOK_INVALID_STREAM);
        expect(known && (status == VOK_OK ? consumed() : stays()), reader);
        s.position = from;
    };

    const uint8_t peeked = vokPeek(&s);
    expect(peeked >= VOK_START && peeked <= VOK_INVALID && stays(), "vokPeek: not a type code");
    expect(from + 1 < total || peeked == (from < total ? VOK_END : VOK_INVALID), "vokPeek: end");
    const uint16_t can = vokCanRead(&s);
    expect(one_of(can, VOK_OK, VOK_WRONG_TYPE, VOK_END_OF_STREAM) && stays(), "vokCanRead");
    expect((can == VOK_OK) == (peeked == VOK_USER_MARK), "vokCanRead: disagrees on a user mark");
    expect((can == VOK_END_OF_STREAM) == (peeked == VOK_END), "vokCanRead: disagrees on the end");
    const uint8_t mark = vokReadUserMark(&s);
    expect(from < total ? mark == s.data[from] && s.position == from + 1
                        : mark == VOK_INVALID && stays(),
           "vokReadUserMark: byte or move");
    s.position = from;

    uint8_t phrase;
    uint32_t flag, number, size = 0;
    int32_t signed_number;
    settle(vokReadPhraseMark(&s, &phrase), VOK_UNEXPECTED, "vokReadPhraseMark");
    settle(vokReadFlag(&s, &flag), VOK_UNEXPECTED, "vokReadFlag");
    settle(vokReadSigned(&s, &signed_number), VOK_WRONG_TYPE, "vokReadSigned");
    settle(vokReadUnsigned(&s, &number), VOK_WRONG_TYPE, "vokReadUnsigned");
    const uint16_t sized = vokGetStringSize(&s, &size);
    expect(one_of(sized, VOK_OK, VOK_WRONG_TYPE, VOK_INVALID_STREAM) && stays(),
           "vokGetStringSize");
    expect(sized != VOK_WRONG_TYPE || size == 0, "vokGetStringSize: size of another item");
    if (sized != VOK_OK || size > VOK_MAX_SHORT_STRING) size = 0; // no longer one fits
    char *buffer = reinterpret_cast<char *>(strings_end - size - 1);
    buffer[0] = '\x7F';
    const uint16_t read = vokReadString(&s, buffer);
    expect(read == VOK_OK           ? consumed() && buffer[size] == 0
           : read == VOK_WRONG_TYPE ? s.position == from + 1
           : read == VOK_UNEXPECTED ? consumed()
                                    : read == VOK_INVALID_STREAM && stays(),
           "vokReadString: status or move");
    expect(read == VOK_OK || buffer[0] == '\x7F', "vokReadString: buffer written on refusal");
    s.position = from;

    const uint8_t stop = vokSkipPhrase(&s);
    expect(one_of(stop, VOK_PHRASE_MARK, VOK_END, VOK_USER_MARK) ? vokPeek(&s) == stop
                                                                 : stop == VOK_INVALID,
           "vokSkipPhrase: result");
    expect(s.position >= from && s.position <= total, "vokSkipPhrase: moved back or out");
    expect(vokReset(&s) == VOK_OK && s.position == kBodyStart && s.active == 1, "vokReset");
    return fault;
}

TEST(Exhaustive, EveryBodyOfUpToThreeBytesIsReadWithinItsBlock) {
    static uint8_t *const blocks_end = guarded_end(16);
    static uint8_t *const strings_end = guarded_end(VOK_MAX_SHORT_STRING + 1);
    ASSERT_TRUE(blocks_end != nullptr && strings_end != nullptr);
    for (uint32_t n = 0; n <= 3; ++n) {
        const uint32_t total = kBodyStart + n + 1;
        uint8_t *block = blocks_end - total;
        std::memcpy(block, kHeader, kBodyStart);
        block[3] = static_cast<uint8_t>(total);
        block[total - 1] = VOK_END;
        // Body v holds the n low bytes of v, most significant first.
        for (uint32_t v = 0; v >> (8 * n) == 0; v += n == 3 ? kThreeByteStride : 1) {
            for (uint32_t i = 0; i < n; ++i)
                block[kBodyStart + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
            vokStream s{};
            ASSERT_EQ(vokOpenStream(&s, block, 1, 0), VOK_OK);
            for (uint32_t pos = kBodyStart; pos <= total; ++pos) {
                s.position = pos;
                ASSERT_STREQ(probe(s, total, strings_end), nullptr)
                    << n << "-byte body " << std::hex << v << std::dec << " at offset " << pos;
            }
        }
    }
}

} // namespace

#else

TEST(Exhaustive, EveryBodyOfUpToThreeBytesIsReadWithinItsBlock) {
    GTEST_SKIP() << "needs mmap and mprotect";
}

#endif
