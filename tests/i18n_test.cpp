// Internationalised strings: real text through every write/read path, and the
// exact calls vok32 makes to QVRCore, recorded by the stand-in (i18n/).
#include <gtest/gtest.h>

#include <string>

#include "byte_helpers.hpp"
#include "i18n/scripted_qvrcore.hpp"
#include "i18n/text.hpp"

using namespace vok_test;
using i18n_test::Text;
using scripted::script;

namespace {

constexpr uint32_t kBody = 8; // first body item of a type 1, version 0 stream

class I18n : public ::testing::Test {
  protected:
    void SetUp() override { script = {}; }
    vokStream s{}, r{}, u{};
    int32_t status = 77;
};

// The i18n writer produces what the UTF-8 writer does (whose items every
// reader is tested with), and the i18n readers get the original text back.
TEST_F(I18n, TextRoundTripsThroughEveryPath) {
    for (const size_t size : {0u, 10u, 255u, 256u, 65536u}) {
        SCOPED_TRACE(size);
        // 1- to 4-byte characters, padded with z.
        const std::string utf8 =
            size ? "a\u00e9\u6f22\U0001F600" + std::string(size - 10, 'z') : "";
        const Text original(utf8), read, decoded;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        ASSERT_EQ(vokCreateStream(&u, 1, 0), VOK_OK);
        EXPECT_EQ(vokWriteI18NString(&s, original.handle, &status), VOK_OK);
        EXPECT_EQ(status, 0);
        ASSERT_EQ(vokWriteUTF8String(&u, utf8.c_str()), VOK_OK);
        Bytes block = finish(s);
        EXPECT_EQ(block, finish(u));

        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokReadI18NString(&r, read.handle, &status), VOK_OK);
        EXPECT_EQ(read.units(), original.units());
        EXPECT_EQ(vokCanRead(&r), VOK_END_OF_STREAM);
        uint8_t *cursor = block.data() + kBody;
        EXPECT_EQ(vokDecodeI18NString(&cursor, decoded.handle, &status), VOK_OK);
        EXPECT_EQ(decoded.units(), original.units());
        EXPECT_EQ(*cursor, VOK_END);
    }
}

// Refusals happen before QVRCore is called: handles not open in the right
// direction, other item kinds (whose tag the reader consumes, the decoder
// not) and a truncated item.
TEST_F(I18n, RefusalsLeaveQvrcoreAlone) {
    Bytes block = block_of(hex("D0 01 61"));
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    vokStream closed{};
    for (const auto &[reader, writer] : {std::pair{&closed, &closed}, std::pair{&s, &r}}) {
        EXPECT_EQ(vokReadI18NString(reader, nullptr, &status), VOK_NOT_ACTIVE);
        EXPECT_EQ(status, 77);
        EXPECT_EQ(vokWriteI18NString(writer, nullptr, &status), VOK_NOT_ACTIVE);
        EXPECT_EQ(status, 0); // the writer always starts from 0
        status = 77;
    }
    EXPECT_TRUE(r.position == kBody && s.position == kBody);
    vokDestroyStream(s.data);

    for (const char *body : {"CC 03 61 62 63", "E2 05", "D2 05", "2A", "CA 01"}) {
        SCOPED_TRACE(body);
        block = block_of(hex(body));
        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokReadI18NString(&r, nullptr, &status), VOK_WRONG_TYPE);
        EXPECT_EQ(r.position, kBody + 1);
        uint8_t *cursor = block.data() + kBody;
        EXPECT_EQ(vokDecodeI18NString(&cursor, nullptr, &status), VOK_WRONG_TYPE);
        EXPECT_EQ(cursor, block.data() + kBody);
        EXPECT_EQ(status, 77);
    }
    block = block_of(hex("D1 00 10 61 62")); // claims 16 bytes, holds 2
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, nullptr, &status), VOK_INVALID_STREAM);
    EXPECT_EQ(r.position, kBody);
    EXPECT_TRUE(script.to_bytes_calls.empty() && script.to_string_calls.empty());
}

// What the writer makes of each answer QVRCore may give.
TEST_F(I18n, ConvertedBlockIsWrittenWithoutItsLastByte) {
    const std::tuple<scripted::ToBytesAnswer, uint16_t, const char *> cases[] = {
        {{1, 0, nullptr}, VOK_OK, "D0 00"},
        {{4, 0, "abcX"}, VOK_OK, "D0 03 61 62 63"},
        {{0, 0, ""}, VOK_OK, "D0 00"},                  // a count of 0: the empty string
        {{0xFFFFFFFFu, 0, "abc"}, VOK_NO_MEMORY, ""},   // past the 32-bit stream size
        {{0, -42, nullptr}, VOK_CONVERSION_FAILED, ""}, // no block handed over
    };
    for (const auto &[answer, result, item] : cases) {
        SCOPED_TRACE(item);
        script = {.to_bytes = answer};
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        EXPECT_EQ(vokWriteI18NString(&s, nullptr, &status), result);
        EXPECT_EQ(status, std::get<1>(answer));
        EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), hex(item)));
        vokDestroyStream(s.data);
    }
}

// Reading hands QVRCore the content in place (an empty item with length 0),
// with strict UTF-8 and the caller's status as it is, for QVRCore alone to
// set; any value it leaves there other than zero is a failed conversion,
// which still consumes the item.
TEST_F(I18n, QvrcoreGetsExactlyTheDocumentedArguments) {
    const auto fake = reinterpret_cast<i18nString>(uintptr_t{0x1234}); // passed through untouched
    script.to_bytes = scripted::ToBytesAnswer{4, 0, "abc"};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokWriteI18NString(&s, fake, &status), VOK_OK);
    const std::vector<scripted::ToBytesCall> to_bytes{{fake, nullptr, 0u, &status}};
    EXPECT_EQ(script.to_bytes_calls, to_bytes);
    ASSERT_EQ(vokWriteUTF8String(&s, ""), VOK_OK);
    Bytes block = finish(s);

    script.to_string_status = 0;
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    uint8_t *cursor = block.data() + kBody;
    for (int i = 0; i < 2; ++i) {
        status = 98;
        EXPECT_EQ(vokReadI18NString(&r, fake, &status), VOK_OK);
        status = 99;
        EXPECT_EQ(vokDecodeI18NString(&cursor, fake, &status), VOK_OK);
    }
    const uint8_t *abc = block.data() + kBody + 2, *empty = abc + 5;
    const std::vector<scripted::ToStringCall> to_string{{fake, abc, 3u, 0u, 0, &status, 98},
                                                        {fake, abc, 3u, 0u, 0, &status, 99},
                                                        {fake, empty, 0u, 0u, 0, &status, 98},
                                                        {fake, empty, 0u, 0u, 0, &status, 99}};
    EXPECT_EQ(script.to_string_calls, to_string);

    for (const int32_t failure : {1234, -1}) {
        script.to_string_status = failure;
        ASSERT_EQ(vokReset(&r), VOK_OK);
        cursor = block.data() + kBody;
        EXPECT_EQ(vokReadI18NString(&r, fake, &status), VOK_CONVERSION_FAILED);
        EXPECT_EQ(r.position, kBody + 5); // at the next item
        EXPECT_EQ(vokDecodeI18NString(&cursor, fake, &status), VOK_CONVERSION_FAILED);
        EXPECT_EQ(status, failure);
        EXPECT_EQ(cursor, abc + 3);
    }
}

} // namespace
