// Hostile and misused input: truncated items, lying length fields, and
// handles used in the wrong direction.  Each block is copied into a buffer of
// exactly its size so that the sanitizer builds catch any read past it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    // The 2-byte version's last byte is the end marker.
    ExactBlock block(hex("00 00 00 09 C8 01 D4 00 C9"));
    vokStream s;
    EXPECT_EQ(vokOpenStream(&s, block.bytes.get(), 1, 0), VOK_INVALID_STREAM);
    EXPECT_EQ(s.active, 0u);
    EXPECT_EQ(s.position, 6u);
    // The same block as the source of an append, its extent checked before
    // anything of it is decoded.
    const vokStream source{block.bytes.get(), 9, 9, 0};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokAppendStream(&s, &source), VOK_INVALID_STREAM);
    EXPECT_EQ(s.position, 8u);
    vokDestroyStream(s.data);
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

// Writers refuse a handle opened for reading.  A refused copy then leaves it
// looking like a closed stream, but its capacity (0 on a record that never
// held a writable stream) is below its position, which no buffer the library
// builds allows: reopening it is refused.
TEST(Hardening, AnOpenedBlockIsNeverWritten) {
    const Bytes original = hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9");
    ExactBlock block(original);
    const uint8_t *bytes = block.bytes.get();
    vokStream s{}, other{};
    ASSERT_EQ(vokCreateStream(&other, 1, 0), VOK_OK);
    ASSERT_EQ(vokOpenStream(&s, bytes, 7, 3), VOK_OK);
    for (const uint16_t status :
         {vokWriteFlag(&s, 1), vokWriteString(&s, std::string(999, 'g').c_str()),
          vokAppendStream(&s, &other), vokCloseStream(&s)})
        EXPECT_EQ(status, VOK_NOT_ACTIVE);
    EXPECT_EQ(vokReopenStream(&s), VOK_OK) << "active: left as it is";
    uint32_t v = 0;
    const std::vector<uint16_t> got = {
        vokReadUserMark(&s), vokReadUnsigned(&s, &v),
        vokReadUserMark(&s), // the end marker: position 13, the total length
        vokReopenCopyStream(&s, bytes, 7, 4), vokReopenStream(&s)};
    ASSERT_EQ(got,
              (std::vector<uint16_t>{1, VOK_OK, VOK_END, VOK_OLDER_VERSION, VOK_INVALID_STREAM}));
    EXPECT_EQ(vokWriteUnsigned(&s, 1), VOK_NOT_ACTIVE);
    EXPECT_TRUE(s.data == bytes && s.position == 13 && s.active == 0);
    EXPECT_EQ(Bytes(bytes, bytes + original.size()), original);
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
