// Cursor encoders: exact bytes, width boundaries, refusals that must leave the
// caller's memory and pointer alone, and finishing a block more than once.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vok32.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Test names come from the cases, so a failure names the item.
template <typename Case> std::string case_name(const testing::TestParamInfo<Case> &param) {
    return param.param.name;
}
constexpr uint8_t kUntouched = 0xA5;

// Runs one encoder on memory filled with kUntouched; returns the status, the
// bytes up to where it moved the pointer, and whether it wrote past them.
struct Encoded {
    uint16_t status;
    Bytes bytes;
    bool wrote_beyond;
};

Encoded encode(const std::function<uint16_t(uint8_t **)> &encoder, size_t room = 16) {
    Bytes memory(room, kUntouched);
    uint8_t *cursor = memory.data();
    const uint16_t status = encoder(&cursor);
    const auto advance = cursor - memory.data();
    const bool beyond = std::any_of(memory.begin() + advance, memory.end(),
                                    [](uint8_t b) { return b != kUntouched; });
    memory.resize(static_cast<size_t>(advance));
    return {status, memory, beyond};
}

struct ItemCase {
    const char *name;
    std::function<uint16_t(uint8_t **)> encoder;
    Bytes expected;
};

class EncodeItem : public testing::TestWithParam<ItemCase> {};

TEST_P(EncodeItem, WritesExactBytesAndAdvancesPastThem) {
    const Encoded out = encode(GetParam().encoder);
    EXPECT_EQ(out.status, VOK_OK);
    EXPECT_EQ(out.bytes, GetParam().expected);
    EXPECT_FALSE(out.wrote_beyond);
}

auto unsig(uint32_t v) {
    return [v](uint8_t **c) { return vokEncodeUnsigned(c, v); };
}
auto sig(int32_t v) {
    return [v](uint8_t **c) { return vokEncodeSigned(c, v); };
}
auto flag(int32_t v) {
    return [v](uint8_t **c) { return vokEncodeFlag(c, v); };
}

INSTANTIATE_TEST_SUITE_P(
    Items, EncodeItem,
    testing::Values(
        ItemCase{"unsigned_0", unsig(0), {0xD2, 0x00}},
        ItemCase{"unsigned_255", unsig(255), {0xD2, 0xFF}},
        ItemCase{"unsigned_256", unsig(256), {0xD4, 0x01, 0x00}},
        ItemCase{"unsigned_65535", unsig(65535), {0xD4, 0xFF, 0xFF}},
        ItemCase{"unsigned_65536", unsig(65536), {0xD5, 0x00, 0x01, 0x00, 0x00}},
        ItemCase{"unsigned_max", unsig(UINT32_MAX), {0xD5, 0xFF, 0xFF, 0xFF, 0xFF}},
        ItemCase{"signed_0", sig(0), {0xD8, 0x00, 0x00}},
        ItemCase{"signed_minus_5", sig(-5), {0xD8, 0x05, 0x01}},
        ItemCase{"signed_minus_255", sig(-255), {0xD8, 0xFF, 0x01}},
        ItemCase{"signed_256", sig(256), {0xD9, 0x01, 0x00, 0x00}},
        ItemCase{"signed_minus_300", sig(-300), {0xD9, 0x01, 0x2C, 0x01}},
        ItemCase{"signed_minus_65535", sig(-65535), {0xD9, 0xFF, 0xFF, 0x01}},
        ItemCase{"signed_65536", sig(65536), {0xDA, 0x00, 0x01, 0x00, 0x00, 0x00}},
        ItemCase{"signed_min", sig(INT32_MIN), {0xDA, 0x80, 0x00, 0x00, 0x00, 0x01}},
        ItemCase{"signed_max", sig(INT32_MAX), {0xDA, 0x7F, 0xFF, 0xFF, 0xFF, 0x00}},
        ItemCase{"flag_5", flag(5), {0xCA, 0x01}},
        ItemCase{"flag_negative", flag(-1), {0xCA, 0x01}},
        ItemCase{"flag_0", flag(0), {0xCA, 0x00}},
        ItemCase{"string_abc",
                 [](uint8_t **c) { return vokEncodeString(c, "abc"); },
                 {0xCC, 0x03, 'a', 'b', 'c'}},
        ItemCase{"string_empty", [](uint8_t **c) { return vokEncodeString(c, ""); }, {0xCC, 0x00}},
        ItemCase{
            "string_null", [](uint8_t **c) { return vokEncodeString(c, nullptr); }, {0xCC, 0x00}},
        ItemCase{"utf8_two_bytes",
                 [](uint8_t **c) { return vokEncodeUTF8String(c, "\xC3\xA9"); },
                 {0xD0, 0x02, 0xC3, 0xA9}}),
    case_name<ItemCase>);

// Strings across the length-field boundaries; plain strings stop at 65,535.
struct StringCase {
    bool utf8;
    size_t length;
    uint16_t status;
    Bytes header; // tag and length field; empty when refused
};

class EncodeLongString : public testing::TestWithParam<StringCase> {};

TEST_P(EncodeLongString, ChoosesLengthFieldOrRefusesUntouched) {
    const StringCase &c = GetParam();
    const std::string content(c.length, 'x');
    const Encoded out = encode(
        [&](uint8_t **cursor) {
            return c.utf8 ? vokEncodeUTF8String(cursor, content.c_str())
                          : vokEncodeString(cursor, content.c_str());
        },
        c.length + 8);
    ASSERT_EQ(out.status, c.status);
    EXPECT_FALSE(out.wrote_beyond);
    if (c.status != VOK_OK) {
        EXPECT_TRUE(out.bytes.empty());
        return;
    }
    ASSERT_EQ(out.bytes.size(), c.header.size() + c.length);
    EXPECT_EQ(Bytes(out.bytes.begin(), out.bytes.begin() + std::ssize(c.header)), c.header);
    EXPECT_EQ(std::string(out.bytes.begin() + std::ssize(c.header), out.bytes.end()), content);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, EncodeLongString,
    testing::Values(StringCase{false, 255, VOK_OK, {0xCC, 0xFF}},
                    StringCase{false, 256, VOK_OK, {0xCD, 0x01, 0x00}},
                    StringCase{false, 65535, VOK_OK, {0xCD, 0xFF, 0xFF}},
                    StringCase{false, 65536, VOK_STRING_TOO_LONG, {}},
                    StringCase{true, 255, VOK_OK, {0xD0, 0xFF}},
                    StringCase{true, 256, VOK_OK, {0xD1, 0x01, 0x00}},
                    StringCase{true, 65535, VOK_OK, {0xD1, 0xFF, 0xFF}},
                    StringCase{true, 65536, VOK_OK, {0xE8, 0x00, 0x01, 0x00, 0x00}},
                    StringCase{true, 70000, VOK_OK, {0xE8, 0x00, 0x01, 0x11, 0x70}}));

TEST(EncodeSafeString, IsRefusedWithoutWriting) {
    const Encoded out = encode([](uint8_t **c) { return vokEncodeSafeString(c, "secret"); });
    EXPECT_EQ(out.status, VOK_UNEXPECTED);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_FALSE(out.wrote_beyond);
}

struct HeaderCase {
    uint32_t version;
    Bytes header; // bytes from offset 4 on
};

class StartStream : public testing::TestWithParam<HeaderCase> {};

TEST_P(StartStream, WritesHeaderAndLeavesLengthBytesAlone) {
    const Encoded out =
        encode([](uint8_t **c) { return vokStartStream(c, 7, GetParam().version); });
    EXPECT_EQ(out.status, VOK_OK);
    EXPECT_FALSE(out.wrote_beyond);
    Bytes expected(4, kUntouched);
    expected.insert(expected.end(), GetParam().header.begin(), GetParam().header.end());
    EXPECT_EQ(out.bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, StartStream,
                         testing::Values(HeaderCase{3, {0xC8, 0x07, 0xD2, 0x03}},
                                         HeaderCase{256, {0xC8, 0x07, 0xD4, 0x01, 0x00}},
                                         HeaderCase{65536,
                                                    {0xC8, 0x07, 0xD5, 0x00, 0x01, 0x00, 0x00}}));

TEST(FinalStream, EmptyBodyGivesNineBytes) {
    Bytes memory(16, kUntouched);
    uint8_t *cursor = memory.data();
    vokStartStream(&cursor, 1, 0);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    memory.resize(9);
    EXPECT_EQ(memory, (Bytes{0x00, 0x00, 0x00, 0x09, 0xC8, 0x01, 0xD2, 0x00, 0xC9}));
}

TEST(FinalStream, LeavesPointerOnEndMarkerSoTheBlockCanGrow) {
    Bytes memory(32, kUntouched);
    uint8_t *cursor = memory.data();
    vokStartStream(&cursor, 7, 3);
    vokEncodeUnsigned(&cursor, 300);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    EXPECT_EQ(cursor - memory.data(), 11);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 12),
              (Bytes{0x00, 0x00, 0x00, 0x0C, 0xC8, 0x07, 0xD2, 0x03, 0xD4, 0x01, 0x2C, 0xC9}));

    vokEncodeFlag(&cursor, 1);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 14),
              (Bytes{0x00, 0x00, 0x00, 0x0E, 0xC8, 0x07, 0xD2, 0x03, 0xD4, 0x01, 0x2C, 0xCA, 0x01,
                     0xC9}));
}

} // namespace
