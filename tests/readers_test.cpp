// Peeking, reading and phrase skipping on opened streams.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

struct Opened {
    Bytes block;
    vokStream s{};
    explicit Opened(Bytes b) : block(std::move(b)) {
        EXPECT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
    }
    explicit Opened(const char *body) : Opened(block_with_body(body)) {}
};

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
        Bytes body(8, 0); // padding completes every item kind behind its tag
        body[0] = static_cast<uint8_t>(b);
        Opened o(block_of(body));
        EXPECT_EQ(vokPeek(&o.s), b < 200 ? VOK_USER_MARK : b > 232 ? VOK_INVALID : b) << b;
        const int can = (b < 200 || b == 225) ? VOK_OK
                        : b == VOK_END        ? VOK_END_OF_STREAM
                                              : VOK_WRONG_TYPE;
        EXPECT_EQ(vokCanRead(&o.s), can) << b;
        EXPECT_EQ(o.s.position, 8u);
    }
}

// Each reader meets an item it does not take: its status, its output left
// alone, and position kept (the string reader consumes the tag).
TEST(Readers, WrongKindLeavesPositionAndOutput) {
    uint32_t u = 99;
    int32_t i = 99;
    uint8_t phrase = 99;
    char text[8] = "keep";
    const struct {
        std::function<uint16_t(vokStream *)> read;
        uint16_t status;
        uint32_t position;
    } cases[] = {
        {[&](vokStream *s) { return vokReadSigned(s, &i); }, VOK_WRONG_TYPE, 8},
        {[&](vokStream *s) { return vokReadFlag(s, &u); }, VOK_UNEXPECTED, 8},
        {[&](vokStream *s) { return vokReadPhraseMark(s, &phrase); }, VOK_UNEXPECTED, 8},
        {[&](vokStream *s) { return vokReadString(s, text); }, VOK_WRONG_TYPE, 9},
    };
    for (const auto &c : cases) {
        Opened o("D2 05");
        EXPECT_EQ(c.read(&o.s), c.status);
        EXPECT_EQ(o.s.position, c.position);
    }
    EXPECT_TRUE(u == 99 && i == 99 && phrase == 99 && std::string(text) == "keep");

    Opened o("D2 05");
    ASSERT_EQ(vokReadSigned(&o.s, &i), VOK_WRONG_TYPE);
    EXPECT_EQ(vokReadUnsigned(&o.s, &u), VOK_OK) << "the refused item is still readable";
    EXPECT_EQ(u, 5u);
    EXPECT_EQ(vokReadUnsigned(&o.s, &u), VOK_WRONG_TYPE) << "the end marker is no value";
    EXPECT_EQ(vokPeek(&o.s), VOK_END);
}

TEST(Readers, StringsAndTheirSizes) {
    Opened o("CC 03 61 62 63 E2 05 CC 00 CA 01");
    std::string buffer(8, '#');
    uint32_t size = 0;
    ASSERT_EQ(vokGetStringSize(&o.s, &size), VOK_OK);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(o.s.position, 8u) << "measuring does not move";
    ASSERT_EQ(vokReadString(&o.s, buffer.data()), VOK_OK);
    EXPECT_STREQ(buffer.c_str(), "abc");

    ASSERT_EQ(vokGetStringSize(&o.s, &size), VOK_OK);
    EXPECT_EQ(size, 5u) << "a safe string reports its recorded length";
    EXPECT_EQ(vokReadString(&o.s, buffer.data()), VOK_UNEXPECTED);
    EXPECT_EQ(o.s.position, 15u) << "past the safe string's length field only";

    ASSERT_EQ(vokReadString(&o.s, buffer.data()), VOK_OK);
    EXPECT_STREQ(buffer.c_str(), "");
    size = 42;
    EXPECT_EQ(vokGetStringSize(&o.s, &size), VOK_WRONG_TYPE);
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

TEST(SkipPhrase, StopsOnPhraseMarksAndTheEnd) {
    Opened o(hex("00 00 00 19 C8 01 D2 00 E0 01 D2 05 CC 03 61 62 63 CA 01 E0 02 D8 05 01 C9"));
    uint8_t phrase = 0;
    ASSERT_EQ(vokReadPhraseMark(&o.s, &phrase), VOK_OK);
    EXPECT_EQ(phrase, 1);
    EXPECT_EQ(o.s.position, 10u);
    EXPECT_EQ(vokSkipPhrase(&o.s), VOK_PHRASE_MARK);
    EXPECT_EQ(o.s.position, 19u);
    EXPECT_EQ(vokSkipPhrase(&o.s), VOK_PHRASE_MARK) << "standing on a phrase mark moves nothing";
    EXPECT_EQ(o.s.position, 19u);
    ASSERT_EQ(vokReadPhraseMark(&o.s, &phrase), VOK_OK);
    EXPECT_EQ(phrase, 2);
    EXPECT_EQ(vokSkipPhrase(&o.s), VOK_END);
    EXPECT_EQ(o.s.position, 24u);
    EXPECT_EQ(vokSkipPhrase(&o.s), VOK_END);
    EXPECT_EQ(o.s.position, 24u);
}

TEST(SkipPhrase, ItemSizesAndStops) {
    const struct {
        const char *body;
        uint8_t result;
        uint32_t moved;
    } cases[] = {
        {"E2 05 E0 00", VOK_PHRASE_MARK, 2}, // a safe string has no content
        {"E3 01 00 E0 00", VOK_PHRASE_MARK, 3},
        {"CC 00 D0 00", VOK_END, 4},
        {"D2 01 D4 01 00 D5 00 00 00 01 D8 01 00 D9 00 01 00 DA 00 00 00 01 01 "
         "CA 00 CD 00 01 41 D1 00 01 41",
         VOK_END, 33},
        {"D2 01 2A D2 01", VOK_USER_MARK, 2}, // a user mark ends the skip
        {"E1", VOK_USER_MARK, 0},             // and so does the byte 225
        {"D2 01 C8", VOK_INVALID, 2},         // start tag
        {"CA 01 CB", VOK_INVALID, 2},         // unassigned tag
        {"F0", VOK_INVALID, 0},
    };
    for (const auto &c : cases) {
        Opened o(c.body);
        EXPECT_EQ(vokSkipPhrase(&o.s), c.result) << c.body;
        EXPECT_EQ(o.s.position, 8 + c.moved) << c.body;
    }
    Opened o(block_of(concat(hex("E8 00 01 11 70"), Bytes(70000, 'z'))));
    EXPECT_EQ(vokSkipPhrase(&o.s), VOK_END);
    EXPECT_EQ(o.s.position, 8u + 70005u);
}

} // namespace
