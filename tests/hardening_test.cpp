// Hostile and misused input: truncated items, lying length fields, and
// handles used in the wrong direction.  Each block is copied into a buffer of
// exactly its size so that the sanitizer builds catch any read past it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

struct ExactBlock {
    std::unique_ptr<uint8_t[]> bytes;
    explicit ExactBlock(const Bytes &b) : bytes(new uint8_t[b.size()]) {
        std::copy(b.begin(), b.end(), bytes.get());
    }
};

TEST(Hardening, OpenRefusesLengthsBelowTheSmallestStream) {
    for (const uint8_t length : {uint8_t{0}, uint8_t{1}, uint8_t{5}, uint8_t{8}}) {
        Bytes b = hex("00 00 00 00 C8 01 D2 00 C9");
        b[3] = length;
        if (length > 4) b[length - 1u] = VOK_END; // where a trusting opener would look
        ExactBlock block(b);
        vokStream s{nullptr, 0, 3, 0};
        EXPECT_EQ(vokOpenStream(&s, block.bytes.get(), 1, 0), VOK_INVALID_STREAM) << int{length};
        EXPECT_EQ(s.active, 0u);
        EXPECT_EQ(s.position, 3u);
    }
}

TEST(Hardening, VersionItemRunningIntoTheEndMarker) {
    ExactBlock block(hex("00 00 00 09 C8 01 D5 00 C9"));
    vokStream s;
    EXPECT_EQ(vokOpenStream(&s, block.bytes.get(), 1, 0), VOK_INVALID_STREAM);
    EXPECT_EQ(s.active, 0u);
    EXPECT_EQ(s.position, 6u);
}

// Items that claim more bytes than stand before the end marker: the reader of
// their kind refuses them without moving or writing its output, and skipping
// stops on them.
TEST(Hardening, TruncatedItemsAreRefusedInPlace) {
    uint32_t u = 7;
    int32_t i = 7;
    uint8_t phrase = 7;
    std::string text(64, '#');
    const auto as_unsigned = [&](vokStream *s) { return vokReadUnsigned(s, &u); };
    const auto as_signed = [&](vokStream *s) { return vokReadSigned(s, &i); };
    const auto as_size = [&](vokStream *s) { return vokGetStringSize(s, &u); };
    const auto as_string = [&](vokStream *s) { return vokReadString(s, text.data()); };
    const std::pair<const char *, std::function<uint16_t(vokStream *)>> cases[] = {
        {"D4 01", as_unsigned},
        {"D5 00 00 01", as_unsigned},
        {"D8 05", as_signed},
        {"D9 00 01", as_signed},
        {"DA 00 00 00 01", as_signed},
        {"CA", [&](vokStream *s) { return vokReadFlag(s, &u); }},
        {"CC 05 61 62", as_string},
        {"CD 00", as_size},
        {"D1 01 00 41", as_string},
        {"E8 FF FF FF FF", as_size}, // length + position wraps
        {"E8 00 00 00 05", as_string},
        {"E3 01", as_size},
        {"E0", [&](vokStream *s) { return vokReadPhraseMark(s, &phrase); }},
    };
    for (const auto &[body, read] : cases) {
        ExactBlock block(block_with_body(body));
        vokStream s;
        ASSERT_EQ(vokOpenStream(&s, block.bytes.get(), 1, 0), VOK_OK) << body;
        EXPECT_EQ(read(&s), VOK_INVALID_STREAM) << body;
        EXPECT_EQ(s.position, 8u) << body;
        // Skipping stops before a phrase mark without reading it.
        EXPECT_EQ(vokSkipPhrase(&s),
                  block.bytes[8] == VOK_PHRASE_MARK ? VOK_PHRASE_MARK : VOK_INVALID);
        EXPECT_EQ(s.position, 8u) << body;
    }
    EXPECT_TRUE(u == 7 && i == 7 && phrase == 7 && text == std::string(64, '#'));
}

TEST(Hardening, NothingIsReadPastTheBlock) {
    ExactBlock block(hex("00 00 00 0A C8 01 D2 00 07 C9"));
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.bytes.get(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadUserMark(&s), 7);
    EXPECT_EQ(vokReadUserMark(&s), VOK_END) << "a blind read takes the end marker";
    EXPECT_EQ(s.position, 10u);
    EXPECT_EQ(vokReadUserMark(&s), VOK_INVALID);
    EXPECT_EQ(vokPeek(&s), VOK_INVALID);
    EXPECT_EQ(vokCanRead(&s), VOK_WRONG_TYPE);
    uint32_t u = 0;
    char buffer[4];
    EXPECT_EQ(vokReadUnsigned(&s, &u), VOK_INVALID_STREAM);
    EXPECT_EQ(vokReadString(&s, buffer), VOK_INVALID_STREAM);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_INVALID);
    EXPECT_EQ(s.position, 10u);
    EXPECT_EQ(vokReset(&s), VOK_OK);
    EXPECT_EQ(s.position, 8u);
}

TEST(Hardening, WritersNeverTouchAnOpenedBlock) {
    const Bytes original = hex("00 00 00 0A C8 01 D2 00 07 C9");
    Bytes block = original;
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
    const vokStream other = [] {
        vokStream o;
        vokCreateStream(&o, 1, 0);
        vokCloseStream(&o);
        return o;
    }();
    EXPECT_EQ(vokWriteUserMark(&s, 1), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokWriteFlag(&s, 1), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokWriteString(&s, std::string(1000, 'g').c_str()), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokWriteSafeString(&s, "g"), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokAppendStream(&s, &other), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokCloseStream(&s), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokReopenStream(&s), VOK_OK);
    EXPECT_EQ(block, original);
    EXPECT_EQ(s.data, block.data());
    EXPECT_EQ(s.active, 1u);
    EXPECT_EQ(vokReadUserMark(&s), 7) << "still readable after the refused writes";
    vokDestroyStream(other.data);
}

TEST(Hardening, ReadersLeaveAStreamBeingWrittenAlone) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 5), VOK_OK);
    uint32_t u = 0;
    EXPECT_EQ(vokPeek(&s), VOK_INVALID);
    EXPECT_EQ(vokReadUnsigned(&s, &u), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokReadUserMark(&s), VOK_INVALID);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_INVALID);
    EXPECT_EQ(s.position, 10u);
    EXPECT_EQ(finish(s), hex("00 00 00 0B C8 01 D2 00 D2 05 C9"));
}

TEST(Hardening, GrowthPastThe32BitRangeFailsCleanly) {
    // A stream cannot outgrow its 32-bit length field; the refusal keeps the
    // buffer intact like any failed growth.
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    s.position = UINT32_MAX - 64; // pretend the stream is almost 4 GiB long
    const vokStream before = s;
    EXPECT_EQ(vokWriteUnsigned(&s, 1), VOK_NO_MEMORY);
    EXPECT_TRUE(s.data == before.data && s.capacity == before.capacity &&
                s.position == before.position);
    vokDestroyStream(s.data);
}

} // namespace
