// What only the cursor family does: the frame in caller memory, header
// validation without length or end marker, raw peeking, and refusals that
// leave the byte pointer and the result alone.  Item bytes are pinned in
// items_test, and held for both families in fuzz_roundtrip.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

constexpr uint8_t kUntouched = 0xA5;

// Header widths are compared with the handle side in fuzz_roundtrip.
TEST(CursorFrame, HeaderLeavesTheLengthBytesAloneAndFinishingTwiceGivesTheLongerBlock) {
    Bytes memory(16, kUntouched);
    uint8_t *p = memory.data();
    EXPECT_EQ(vokStartStream(&p, 7, 65536), VOK_OK);
    EXPECT_EQ(Bytes(memory.data(), p), hex("A5 A5 A5 A5 C8 07 D5 00 01 00 00"));
    EXPECT_EQ(*p, kUntouched);
    p = memory.data();
    vokStartStream(&p, 1, 0);
    EXPECT_EQ(vokFinalStream(memory.data(), p), VOK_OK);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 9), hex("00 00 00 09 C8 01 D2 00 C9"));
    EXPECT_EQ(p - memory.data(), 8) << "the pointer stays on the end marker";
    vokEncodeUnsigned(&p, 300);
    EXPECT_EQ(vokFinalStream(memory.data(), p), VOK_OK);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 12),
              hex("00 00 00 0C C8 01 D2 00 D4 01 2C C9"));
}

TEST(Validate, StatusAndWhereThePointerEnds) {
    // block, type and version asked for, status, where the pointer ends
    const std::tuple<const char *, uint8_t, uint32_t, uint16_t, std::ptrdiff_t> cases[] = {
        {"00 00 00 0C C8 07 D2 03 D4 01 2C C9", 7, 3, VOK_OK, 8},
        {"00 00 00 0C C8 07 D2 03 D4 01 2C C9", 7, 4, VOK_OLDER_VERSION, 8},
        {"00 00 00 0C C8 07 D2 03 D4 01 2C C9", 7, 2, VOK_NEWER_VERSION, 8},
        {"00 00 00 0C C8 07 D2 03 D4 01 2C C9", 6, 3, VOK_WRONG_STREAM_TYPE, 0},
        {"00 00 00 09 C9 07 D2 03 C9", 7, 3, VOK_UNEXPECTED, 0},
        {"00 00 00 0A C8 07 D8 03 00 C9", 7, 3, VOK_BAD_VERSION, 0},
        {"00 00 00 00 C8 07 D2 03 00", 7, 3, VOK_OK, 8}, // no length, no end marker
        {"00 00 00 0A C8 07 D4 01 00 C9", 7, 256, VOK_OK, 9},
        {"00 00 00 0C C8 07 D5 FF FF FF FF C9", 7, 1, VOK_NEWER_VERSION, 11}, // unsigned compare
    };
    for (const auto &[text, type, version, status, offset] : cases) {
        Bytes block = hex(text);
        uint8_t *p = block.data();
        EXPECT_EQ(vokValidateStream(&p, type, version), status) << text;
        EXPECT_EQ(p - block.data(), offset) << text;
    }
}

TEST(Peeking, RawBytesAndUtf8Tags) {
    for (unsigned i = 0; i < 256; ++i) {
        const auto b = static_cast<uint8_t>(i);
        const bool utf8 = b == VOK_UTF8_1 || b == VOK_UTF8_2 || b == VOK_UTF8_4;
        EXPECT_TRUE(vokPeekType(&b) == b && vokIsUTF8String(b) == (utf8 ? VOK_OK : VOK_NOT_UTF8));
    }
}

// Each refusal must leave both the byte pointer and the result as they were.
TEST(Decoders, RefuseOtherItemsUntouched) {
    enum Decoder { flag, signed_value, unsigned_value, string };
    const struct {
        Decoder decoder;
        const char *item;
        uint16_t status;
    } cases[] = {
        // clang-format off
        {flag, "D2 01", VOK_UNEXPECTED}, {flag, "C9", VOK_UNEXPECTED},
        {signed_value, "D2 05", VOK_WRONG_TYPE}, {signed_value, "C9", VOK_WRONG_TYPE},
        {unsigned_value, "D8 05 00", VOK_WRONG_TYPE}, {unsigned_value, "CA 01", VOK_WRONG_TYPE},
        {string, "D2 05", VOK_WRONG_TYPE}, {string, "C9", VOK_WRONG_TYPE},
        {string, "E2 05", VOK_UNEXPECTED}, {string, "E3 01 00", VOK_UNEXPECTED},
        // clang-format on
    };
    for (const auto &c : cases) {
        Bytes item = hex(c.item);
        uint8_t *p = item.data();
        uint32_t u = 0x5A5A5A5A;
        int32_t i = 0x5A5A5A5A;
        char sentinel = 0, *text = &sentinel;
        const uint16_t status = c.decoder == flag             ? vokDecodeFlag(&p, &u)
                                : c.decoder == signed_value   ? vokDecodeSigned(&p, &i)
                                : c.decoder == unsigned_value ? vokDecodeUnsigned(&p, &u)
                                                              : vokDecodeString(&p, &text);
        EXPECT_EQ(status, c.status) << c.item;
        EXPECT_EQ(p, item.data()) << c.item;
        EXPECT_TRUE(u == 0x5A5A5A5A && i == 0x5A5A5A5A && text == &sentinel) << c.item;
    }
}

// With no capacity to check, an encoder must write its item and nothing
// around it: each item is placed to end flush against an inaccessible page,
// after a byte that must keep its value.
TEST(Encoders, WriteTheirItemAndNothingAroundIt) {
    static uint8_t *const end = guarded_end(256);
    ASSERT_NE(end, nullptr);
    using Encode = std::function<uint16_t(uint8_t **)>;
    for (const uint32_t v : {0u, 1u, 255u, 256u, 65535u, 65536u, 0x80000000u, UINT32_MAX}) {
        const auto s = static_cast<int32_t>(v);
        const uint32_t magnitude = s < 0 ? 0u - v : v;
        const std::string text(v % 300, 'x'); // lengths 0, 1, 255, 256, 135, 136, 248, 195
        const std::tuple<uint32_t, Encode> items[] = {
            {1 + VOK_FIELD_SIZE(v), [v](uint8_t **p) { return vokEncodeUnsigned(p, v); }},
            {2 + VOK_FIELD_SIZE(magnitude), [s](uint8_t **p) { return vokEncodeSigned(p, s); }},
            {2, [v](uint8_t **p) { return vokEncodeFlag(p, static_cast<int32_t>(v)); }},
            {1 + VOK_FIELD_SIZE(text.size()) + uint32_t(text.size()),
             [&text](uint8_t **p) { return vokEncodeUTF8String(p, text.c_str()); }},
        };
        for (const auto &[size, encode] : items) {
            uint8_t *p = end - size;
            p[-1] = kUntouched;
            EXPECT_EQ(encode(&p), VOK_OK);
            EXPECT_TRUE(p == end && p[-int(size) - 1] == kUntouched) << v << ", " << size;
        }
    }
}

} // namespace
