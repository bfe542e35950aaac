// Every item kind at every width, checked once for both families: the exact
// bytes that a handle writer and a cursor encoder produce, and the value that
// a handle reader and a cursor decoder take back from those bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "byte_helpers.hpp"
#include "item_codec.hpp"

using namespace vok_test;

namespace {

struct ItemCase {
    Item item;
    Bytes bytes; // as written; empty when refused
};

void PrintTo(const ItemCase &c, std::ostream *out) {
    for (size_t n = 0; n < c.bytes.size() && n < 6; ++n)
        *out << int{c.bytes[n]} << ' ';
    if (c.bytes.empty()) *out << "refused, length " << c.item.text.size();
}

// Both readers take `expected` back from `bytes` and end right after it.
void check_read_back(const Bytes &bytes, const Item &expected) {
    const Bytes block = block_of(bytes);
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
    Item got;
    EXPECT_EQ(read_item(&s, expected.kind, &got), VOK_OK);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(vokPeek(&s), VOK_END);

    Bytes item = bytes;
    uint8_t *p = item.data();
    EXPECT_EQ(decode_item(&p, expected.kind, &got), VOK_OK);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(p - item.data(), std::ssize(item));
}

class Items : public ::testing::TestWithParam<ItemCase> {};

TEST_P(Items, BothFamiliesWriteTheSameBytes) {
    const ItemCase &c = GetParam();
    const uint16_t expected = c.bytes.empty() ? VOK_STRING_TOO_LONG : VOK_OK;

    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(write_item(&s, c.item), expected);
    EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), c.bytes));
    vokDestroyStream(s.data);

    // The cursor writes exactly the item and moves past it, or on a refusal
    // writes nothing and stays.
    Bytes memory(c.bytes.size() + 16, 0xA5);
    uint8_t *p = memory.data();
    EXPECT_EQ(encode_item(&p, c.item), expected);
    ASSERT_EQ(p - memory.data(), std::ssize(c.bytes));
    EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), memory.begin()));
    EXPECT_TRUE(std::all_of(p, memory.data() + memory.size(), [](uint8_t b) { return b == 0xA5; }));
}

TEST_P(Items, BothFamiliesReadTheValueBack) {
    if (!GetParam().bytes.empty()) check_read_back(GetParam().bytes, as_read(GetParam().item));
}

ItemCase u(uint32_t v, const char *b) { return {{Kind::unsigned_value, v}, hex(b)}; }
ItemCase i(int32_t v, const char *b) {
    return {{Kind::signed_value, static_cast<uint32_t>(v)}, hex(b)};
}
ItemCase f(int32_t v, const char *b) { return {{Kind::flag, static_cast<uint32_t>(v)}, hex(b)}; }
// A string of n letters x; `header` is its tag and length field, or null
// when the string is refused.
ItemCase str(Kind kind, size_t n, const char *header) {
    const std::string text(n, 'x');
    return {{kind, 0, text},
            header ? concat(hex(header), Bytes(text.begin(), text.end())) : Bytes{}};
}

INSTANTIATE_TEST_SUITE_P(
    Canonical, Items,
    ::testing::Values(u(0, "D2 00"), u(255, "D2 FF"), u(256, "D4 01 00"), u(65535, "D4 FF FF"),
                      u(65536, "D5 00 01 00 00"), u(UINT32_MAX, "D5 FF FF FF FF"), i(0, "D8 00 00"),
                      i(5, "D8 05 00"), i(-5, "D8 05 01"), i(-255, "D8 FF 01"),
                      i(256, "D9 01 00 00"), i(-300, "D9 01 2C 01"), i(-65535, "D9 FF FF 01"),
                      i(-65536, "DA 00 01 00 00 01"), i(INT32_MIN, "DA 80 00 00 00 01"),
                      i(INT32_MAX, "DA 7F FF FF FF 00"), f(5, "CA 01"), f(-1, "CA 01"),
                      f(0, "CA 00"), str(Kind::plain, 0, "CC 00"), str(Kind::plain, 255, "CC FF"),
                      str(Kind::plain, 256, "CD 01 00"), str(Kind::plain, 65535, "CD FF FF"),
                      str(Kind::plain, 65536, nullptr), str(Kind::utf8, 0, "D0 00"),
                      str(Kind::utf8, 255, "D0 FF"), str(Kind::utf8, 300, "D1 01 2C"),
                      str(Kind::utf8, 65535, "D1 FF FF"), str(Kind::utf8, 65536, "E8 00 01 00 00"),
                      str(Kind::utf8, 70000, "E8 00 01 11 70")));

// Valid bytes from other producers: wider fields than needed, sign and flag
// bytes other than 0 and 1.  Readers take them as they stand.
TEST(ForeignItems, BothFamiliesReadThemAsTheyStand) {
    const struct {
        const char *bytes;
        Item expected;
    } cases[] = {
        {"CA 07", {Kind::flag, 7}},
        {"D8 05 02", {Kind::signed_value, static_cast<uint32_t>(-5)}},
        {"D8 00 01", {Kind::signed_value, 0}},
        {"DA FF FF FF FF 00", {Kind::signed_value, UINT32_MAX}}, // magnitude wraps to -1
        {"D4 00 05", {Kind::unsigned_value, 5}},
        {"D5 00 00 00 05", {Kind::unsigned_value, 5}},
        {"CD 00 02 78 78", {Kind::plain, 0, "xx"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        check_read_back(hex(c.bytes), c.expected);
    }
}

} // namespace
