// Peeking, reading and phrase skipping on opened streams.
#include <gtest/gtest.h>

#include <string>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

// Opens `block` (type 1, version 0) into s; the block must outlive s.
void open(vokStream &s, const Bytes &block) {
    ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
}

TEST(Readers, WalkTheDocumentedRecord) {
    const Bytes block = hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9");
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.data(), 7, 3), VOK_OK);
    EXPECT_EQ(vokCanRead(&s), VOK_OK);
    EXPECT_EQ(vokReadUserMark(&s), 1);
    EXPECT_EQ(vokCanRead(&s), VOK_WRONG_TYPE);
    EXPECT_EQ(vokPeek(&s), VOK_UNSIGNED_2);
    uint32_t value = 0;
    EXPECT_EQ(vokReadUnsigned(&s, &value), VOK_OK);
    EXPECT_EQ(value, 300u);
    EXPECT_EQ(vokCanRead(&s), VOK_END_OF_STREAM);
    EXPECT_EQ(vokPeek(&s), VOK_END);
    EXPECT_EQ(s.position, 12u);
}

TEST(Readers, PeekAndCanReadMapEveryByte) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        // Pad so that every item kind is complete behind its tag.
        Bytes body = {byte};
        body.resize(8, 0);
        Bytes block = block_with_body("");
        block.insert(block.begin() + 8, body.begin(), body.end());
        block[3] = static_cast<uint8_t>(block.size());
        vokStream s;
        open(s, block);
        const uint8_t expected_peek = b < 200 ? VOK_USER_MARK : b > 232 ? VOK_INVALID : byte;
        EXPECT_EQ(vokPeek(&s), expected_peek) << b;
        const uint16_t expected_can = (b < 200 || b == 225) ? VOK_OK
                                      : b == VOK_END        ? VOK_END_OF_STREAM
                                                            : VOK_WRONG_TYPE;
        EXPECT_EQ(vokCanRead(&s), expected_can) << b;
        EXPECT_EQ(s.position, 8u);
    }
}

TEST(Readers, WrongKindLeavesPositionAndOutput) {
    // Each reader meets an item it does not accept: the status, and where it
    // leaves position (the string reader consumes the tag).
    const Bytes block = block_with_body("D2 05");
    const struct {
        const char *what;
        uint16_t (*read)(vokStream *);
        uint16_t status;
        uint32_t position;
    } cases[] = {
        {"signed",
         [](vokStream *s) {
             int32_t v = 99;
             uint16_t r = vokReadSigned(s, &v);
             return v == 99 ? r : uint16_t{999};
         },
         VOK_WRONG_TYPE, 8},
        {"flag",
         [](vokStream *s) {
             uint32_t v = 99;
             uint16_t r = vokReadFlag(s, &v);
             return v == 99 ? r : uint16_t{999};
         },
         VOK_UNEXPECTED, 8},
        {"phrase",
         [](vokStream *s) {
             uint8_t v = 99;
             uint16_t r = vokReadPhraseMark(s, &v);
             return v == 99 ? r : uint16_t{999};
         },
         VOK_UNEXPECTED, 8},
        {"string",
         [](vokStream *s) {
             char b[8] = "keep";
             uint16_t r = vokReadString(s, b);
             return std::string(b) == "keep" ? r : uint16_t{999};
         },
         VOK_WRONG_TYPE, 9},
    };
    for (const auto &c : cases) {
        vokStream s;
        open(s, block);
        EXPECT_EQ(c.read(&s), c.status) << c.what;
        EXPECT_EQ(s.position, c.position) << c.what;
    }
    vokStream s;
    open(s, block);
    int32_t v = 0;
    ASSERT_EQ(vokReadSigned(&s, &v), VOK_WRONG_TYPE);
    uint32_t u = 0;
    EXPECT_EQ(vokReadUnsigned(&s, &u), VOK_OK) << "the refused item is still readable";
    EXPECT_EQ(u, 5u);
    EXPECT_EQ(vokReadUnsigned(&s, &u), VOK_WRONG_TYPE) << "the end marker is no value";
    EXPECT_EQ(vokPeek(&s), VOK_END);
}

TEST(Readers, StringsAndTheirSizes) {
    vokStream w;
    ASSERT_EQ(vokCreateStream(&w, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteString(&w, "abc"), VOK_OK);
    ASSERT_EQ(vokWriteSafeString(&w, "hello"), VOK_UNEXPECTED);
    ASSERT_EQ(vokWriteString(&w, ""), VOK_OK);
    ASSERT_EQ(vokWriteFlag(&w, 1), VOK_OK);
    const Bytes block = finish(w);

    vokStream s;
    open(s, block);
    std::string buffer(8, '#');
    uint32_t size = 0;
    ASSERT_EQ(vokGetStringSize(&s, &size), VOK_OK);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(s.position, 8u) << "measuring does not move";
    ASSERT_EQ(vokReadString(&s, buffer.data()), VOK_OK);
    EXPECT_STREQ(buffer.c_str(), "abc");

    ASSERT_EQ(vokGetStringSize(&s, &size), VOK_OK);
    EXPECT_EQ(size, 5u) << "a safe string reports its recorded length";
    const uint32_t at = s.position;
    EXPECT_EQ(vokReadString(&s, buffer.data()), VOK_UNEXPECTED);
    EXPECT_EQ(s.position, at + 2);

    ASSERT_EQ(vokReadString(&s, buffer.data()), VOK_OK);
    EXPECT_STREQ(buffer.c_str(), "");

    size = 42;
    EXPECT_EQ(vokGetStringSize(&s, &size), VOK_WRONG_TYPE);
    EXPECT_EQ(size, 0u);
}

TEST(Readers, InactiveHandle) {
    vokStream s{nullptr, 0, 0, 0};
    uint32_t size = 42;
    int32_t value = 0;
    char buffer[4];
    EXPECT_EQ(vokPeek(&s), VOK_INVALID);
    EXPECT_EQ(vokCanRead(&s), VOK_WRONG_TYPE);
    EXPECT_EQ(vokReadUserMark(&s), VOK_INVALID);
    EXPECT_EQ(vokGetStringSize(&s, &size), VOK_NOT_ACTIVE);
    EXPECT_EQ(size, 42u);
    EXPECT_EQ(vokReadSigned(&s, &value), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokReadString(&s, buffer), VOK_NOT_ACTIVE);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_INVALID);
    EXPECT_EQ(s.position, 0u);
}

// The documented phrase walk.
TEST(SkipPhrase, StopsOnPhraseMarksAndTheEnd) {
    const Bytes block =
        hex("00 00 00 19 C8 01 D2 00 E0 01 D2 05 CC 03 61 62 63 CA 01 E0 02 D8 05 01 C9");
    vokStream s;
    open(s, block);
    uint8_t phrase = 0;
    ASSERT_EQ(vokReadPhraseMark(&s, &phrase), VOK_OK);
    EXPECT_EQ(phrase, 1);
    EXPECT_EQ(s.position, 10u);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_PHRASE_MARK);
    EXPECT_EQ(s.position, 19u);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_PHRASE_MARK) << "standing on a phrase mark moves nothing";
    EXPECT_EQ(s.position, 19u);
    ASSERT_EQ(vokReadPhraseMark(&s, &phrase), VOK_OK);
    EXPECT_EQ(phrase, 2);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_END);
    EXPECT_EQ(s.position, 24u);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_END);
    EXPECT_EQ(s.position, 24u);
    EXPECT_EQ(vokCanRead(&s), VOK_END_OF_STREAM);
}

TEST(SkipPhrase, ItemSizesAndStops) {
    const std::string utf8_4 = "E8 00 01 11 70";
    const struct {
        const char *what;
        std::string body;
        uint8_t result;
        uint32_t position; // offset from the first body item
    } cases[] = {
        {"safe string has no content", "E2 05 E0 00", VOK_PHRASE_MARK, 2},
        {"safe 2-byte length", "E3 01 00 E0 00", VOK_PHRASE_MARK, 3},
        {"empty strings", "CC 00 D0 00", VOK_END, 4},
        {"every width",
         "D2 01 D4 01 00 D5 00 00 00 01 D8 01 00 D9 00 01 00 DA 00 00 00 01 01 "
         "CA 00 CD 00 01 41 D1 00 01 41",
         VOK_END, 33},
        {"user mark stops", "D2 01 2A D2 01", VOK_USER_MARK, 2},
        {"byte 225 stops like a mark", "E1", VOK_USER_MARK, 0},
        {"start tag", "D2 01 C8", VOK_INVALID, 2},
        {"unassigned 203", "CA 01 CB", VOK_INVALID, 2},
        {"byte 240", "F0", VOK_INVALID, 0},
    };
    for (const auto &c : cases) {
        const Bytes block = block_with_body(c.body);
        vokStream s;
        open(s, block);
        EXPECT_EQ(vokSkipPhrase(&s), c.result) << c.what;
        EXPECT_EQ(s.position, 8 + c.position) << c.what;
    }
}

TEST(SkipPhrase, PassesALongUtf8ItemWhole) {
    vokStream w;
    ASSERT_EQ(vokCreateStream(&w, 1, 0), VOK_OK);
    const std::string text(70000, 'z');
    ASSERT_EQ(vokWriteUTF8String(&w, text.c_str()), VOK_OK);
    const Bytes block = finish(w);
    vokStream s;
    open(s, block);
    EXPECT_EQ(vokSkipPhrase(&s), VOK_END);
    EXPECT_EQ(s.position, 8u + 70005u);
}

} // namespace
