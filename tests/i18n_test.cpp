// Internationalised strings: real text through every write/read path, and
// the exact calls vok32 makes to QVRCore, recorded by the scripted stand-in
// this program exports in place of libQVRCore's functions.
#include <gtest/gtest.h>

#include <string>

#include "byte_helpers.hpp"
#include "i18n/free_spy.hpp"
#include "i18n/scripted_qvrcore.hpp"
#include "i18n/text.hpp"

using namespace vok_test;
using i18n_test::Text;

namespace {

constexpr uint32_t kBody = 8; // first body item of a type 1, version 0 stream

// The UTF-8 item header expected for n content bytes.
Bytes utf8_header(size_t n) {
    const auto b = [n](int shift) { return static_cast<uint8_t>(n >> shift); };
    if (n <= 0xFF) return {VOK_UTF8_1, b(0)};
    if (n <= 0xFFFF) return {VOK_UTF8_2, b(8), b(0)};
    return {VOK_UTF8_4, b(24), b(16), b(8), b(0)};
}

// Mixed 1- to 4-byte characters, exactly `bytes` long.
std::string text_of_size(size_t bytes) {
    std::string s;
    while (s.size() + 10 <= bytes)
        s += "a\u00e9\u6f22\U0001F600";
    return s.append(bytes - s.size(), 'z');
}

class I18n : public ::testing::Test {
  protected:
    void SetUp() override { scripted::script() = {}; }
    vokStream s{}, r{};
    int32_t status = -1;
};

class RoundTrip : public I18n, public ::testing::WithParamInterface<std::string> {};

TEST_P(RoundTrip, I18nWriterToEveryReader) {
    const std::string &utf8 = GetParam();
    const Text original(utf8), read, decoded;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteI18NString(&s, original.handle, &status), VOK_OK);
    EXPECT_EQ(status, 0);
    Bytes block = finish(s);
    const Bytes item = concat(utf8_header(utf8.size()), Bytes(utf8.begin(), utf8.end()));
    EXPECT_EQ(Bytes(block.begin() + kBody, block.end() - 1), item);

    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, read.handle, &status), VOK_OK);
    EXPECT_EQ(read.units(), original.units());
    EXPECT_EQ(vokCanRead(&r), VOK_END_OF_STREAM);

    uint8_t *cursor = block.data() + kBody;
    EXPECT_EQ(vokDecodeI18NString(&cursor, decoded.handle, &status), VOK_OK);
    EXPECT_EQ(decoded.units(), original.units());
    EXPECT_EQ(*cursor, VOK_END);

    ASSERT_EQ(vokReset(&r), VOK_OK);
    std::string bytes(utf8.size() + 1, '\xff');
    EXPECT_EQ(vokReadString(&r, bytes.data()), VOK_OK);
    EXPECT_EQ(bytes, utf8 + '\0');
}

TEST_P(RoundTrip, Utf8WriterToI18nReader) {
    const Text read;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUTF8String(&s, GetParam().c_str()), VOK_OK);
    Bytes block = finish(s);
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, read.handle, &status), VOK_OK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read.units(), Text(GetParam()).units());
}

INSTANTIATE_TEST_SUITE_P(Texts, RoundTrip,
                         ::testing::Values("Hello, world", "Gr\u00fc\u00dfe, d\u00e9j\u00e0 vu",
                                           "\u6f22\u5b57\u304b\u306a\u4ea4\u3058\u308a",
                                           "\U0001F389 party \U0001F680 \U0001D11E", "",
                                           text_of_size(255), text_of_size(256),
                                           text_of_size(65535), text_of_size(65536)));

TEST_F(I18n, HandlesNotOpenInTheRightDirectionAreRefused) {
    const Text text("x");
    status = 77;
    EXPECT_EQ(vokWriteI18NString(&s, text.handle, &status), VOK_NOT_ACTIVE);
    EXPECT_EQ(status, 0); // the writer always starts from 0
    status = 77;
    EXPECT_EQ(vokReadI18NString(&s, text.handle, &status), VOK_NOT_ACTIVE);
    EXPECT_EQ(status, 77);

    Bytes block = block_with_body("D0 01 61");
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokWriteI18NString(&r, text.handle, &status), VOK_NOT_ACTIVE);
    EXPECT_EQ(r.position, kBody);
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&s, text.handle, &status), VOK_NOT_ACTIVE);
    vokDestroyStream(s.data);
    EXPECT_TRUE(scripted::script().to_bytes_calls.empty());
    EXPECT_TRUE(scripted::script().to_string_calls.empty());
}

TEST_F(I18n, FailedConversionToBytesWritesNothing) {
    const Text lone_surrogate(i18n_test::Units{0xD800});
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 5), VOK_OK);
    const Bytes before = written(s);
    EXPECT_EQ(vokWriteI18NString(&s, lone_surrogate.handle, &status), VOK_CONVERSION_FAILED);
    EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
    EXPECT_EQ(written(s), before);
    vokDestroyStream(s.data);
}

TEST_F(I18n, FailedConversionWhenReadingConsumesTheItem) {
    Bytes block = block_with_body("D0 02 C3 28 D2 07"); // ill-formed UTF-8, then 7
    const Text text;
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, text.handle, &status), VOK_CONVERSION_FAILED);
    EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
    uint32_t value = 0;
    EXPECT_EQ(vokReadUnsigned(&r, &value), VOK_OK);
    EXPECT_EQ(value, 7u);

    uint8_t *cursor = block.data() + kBody;
    status = 0;
    EXPECT_EQ(vokDecodeI18NString(&cursor, text.handle, &status), VOK_CONVERSION_FAILED);
    EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
    EXPECT_EQ(cursor, block.data() + kBody + 4);
}

TEST_F(I18n, OtherItemKindsAreRefusedWithoutCallingQvrcore) {
    for (const char *body : {"CC 03 61 62 63", "E2 05", "D2 05", "2A", "CA 01"}) {
        SCOPED_TRACE(body);
        Bytes block = block_with_body(body);
        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        status = 77;
        EXPECT_EQ(vokReadI18NString(&r, nullptr, &status), VOK_WRONG_TYPE);
        EXPECT_EQ(r.position, kBody + 1);
        uint8_t *cursor = block.data() + kBody;
        EXPECT_EQ(vokDecodeI18NString(&cursor, nullptr, &status), VOK_WRONG_TYPE);
        EXPECT_EQ(cursor, block.data() + kBody);
        EXPECT_EQ(status, 77);
    }
    Bytes truncated = block_with_body("D1 00 10 61 62"); // claims 16 bytes, holds 2
    ASSERT_EQ(vokOpenStream(&r, truncated.data(), 1, 0), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, nullptr, &status), VOK_INVALID_STREAM);
    EXPECT_EQ(r.position, kBody);
    EXPECT_TRUE(scripted::script().to_string_calls.empty());
}

// What the writer makes of each answer QVRCore may give; the block handed
// over is released exactly once, a null block never.
TEST_F(I18n, ConvertedBlockIsWrittenAndReleased) {
    const struct {
        scripted::ToBytesAnswer answer;
        uint16_t result;
        const char *item;
    } cases[] = {
        {{1, 0, nullptr, 0}, VOK_OK, "D0 00"},
        {{1, 0, "", 1}, VOK_OK, "D0 00"},
        {{4, 0, "abcX", 4}, VOK_OK, "D0 03 61 62 63"},    // the last byte is not stored
        {{0, 0, "", 1}, VOK_OK, "D0 00"},                 // a count of 0: the empty string
        {{0xFFFFFFFFu, 0, "abc", 4}, VOK_NO_MEMORY, ""},  // past the 32-bit stream size
        {{0, -42, nullptr, 0}, VOK_CONVERSION_FAILED, ""} // no block handed over
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        scripted::script().to_bytes = c.answer;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        const uint32_t capacity = s.capacity;
        free_spy::arm();
        EXPECT_EQ(vokWriteI18NString(&s, nullptr, &status), c.result);
        free_spy::disarm();
        EXPECT_EQ(status, c.answer.status);
        EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), hex(c.item)));
        EXPECT_EQ(s.capacity, capacity);
        const uint8_t *block = scripted::script().last_block;
        if (free_spy::available()) {
            EXPECT_EQ(free_spy::times_freed(nullptr), 0);
            EXPECT_EQ(free_spy::times_freed(block), block != nullptr ? 1 : 0);
        }
        vokDestroyStream(s.data);
    }
}

TEST_F(I18n, QvrcoreGetsExactlyTheDocumentedArguments) {
    const auto fake = reinterpret_cast<i18nString>(uintptr_t{0x1234}); // passed through untouched
    auto &script = scripted::script();
    script.to_bytes = scripted::ToBytesAnswer{4, 0, "abc", 4};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokWriteI18NString(&s, fake, &status), VOK_OK);
    ASSERT_EQ(script.to_bytes_calls.size(), 1u);
    const scripted::ToBytesCall &w = script.to_bytes_calls[0];
    EXPECT_EQ(w.string, fake);
    EXPECT_EQ(w.block_on_entry, nullptr);
    EXPECT_EQ(w.encoding, 0u);
    EXPECT_EQ(w.status, &status);
    ASSERT_EQ(vokWriteUTF8String(&s, ""), VOK_OK);
    Bytes block = finish(s);

    // Reading hands over the content in place, an empty item with length 0,
    // and leaves the status alone for QVRCore to set.
    script.to_string_status = 0;
    ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
    uint8_t *cursor = block.data() + kBody;
    for (int i = 0; i < 2; ++i) {
        status = 99;
        EXPECT_EQ(vokReadI18NString(&r, fake, &status), VOK_OK);
        EXPECT_EQ(vokDecodeI18NString(&cursor, fake, &status), VOK_OK);
    }
    EXPECT_EQ(r.position, kBody + 7);
    EXPECT_EQ(cursor, block.data() + kBody + 7);
    ASSERT_EQ(script.to_string_calls.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const scripted::ToStringCall &c = script.to_string_calls[i];
        EXPECT_EQ(c.string, fake);
        EXPECT_EQ(c.bytes, block.data() + kBody + (i < 2 ? 2 : 7));
        EXPECT_EQ(c.length, i < 2 ? 3u : 0u);
        EXPECT_EQ(c.encoding, 0u);
        EXPECT_EQ(c.flags, 0u);
        EXPECT_EQ(c.status, &status);
        EXPECT_EQ(c.status_on_entry, i % 2 == 0 ? 99 : 0);
    }
    script.to_string_status = 1234;
    ASSERT_EQ(vokReset(&r), VOK_OK);
    EXPECT_EQ(vokReadI18NString(&r, fake, &status), VOK_CONVERSION_FAILED);
    EXPECT_EQ(status, 1234);
}

} // namespace
