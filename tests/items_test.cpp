// Every item kind at every width, checked once for both families: the exact
// bytes that a handle writer and a cursor encoder produce, and the value that
// a handle reader and a cursor decoder take back from those bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

enum class Kind { flag, signed_value, unsigned_value, plain, utf8 };

struct ItemCase {
    Kind kind;
    int64_t number;    // flag, signed or unsigned value; string length
    Bytes bytes;       // the item as written; empty when refused
    int64_t read_back; // the value the readers deliver (strings: unused)
};

// A string of n bytes; its content is the letter x repeated.
Bytes string_bytes(const char *header, size_t n) { return concat(hex(header), Bytes(n, 'x')); }

uint16_t write(vokStream *s, const ItemCase &c, const std::string &text) {
    switch (c.kind) {
    case Kind::flag:
        return vokWriteFlag(s, static_cast<int32_t>(c.number));
    case Kind::signed_value:
        return vokWriteSigned(s, static_cast<int32_t>(c.number));
    case Kind::unsigned_value:
        return vokWriteUnsigned(s, static_cast<uint32_t>(c.number));
    case Kind::plain:
        return vokWriteString(s, text.c_str());
    default:
        return vokWriteUTF8String(s, text.c_str());
    }
}

uint16_t encode(uint8_t **p, const ItemCase &c, const std::string &text) {
    switch (c.kind) {
    case Kind::flag:
        return vokEncodeFlag(p, static_cast<int32_t>(c.number));
    case Kind::signed_value:
        return vokEncodeSigned(p, static_cast<int32_t>(c.number));
    case Kind::unsigned_value:
        return vokEncodeUnsigned(p, static_cast<uint32_t>(c.number));
    case Kind::plain:
        return vokEncodeString(p, text.c_str());
    default:
        return vokEncodeUTF8String(p, text.c_str());
    }
}

// Reads the item at a handle and at a cursor; returns the value (or the
// string length after checking the content) as each side delivers it.
int64_t read_handle(vokStream *s, Kind kind, uint16_t *status) {
    uint32_t u = 0;
    int32_t i = 0;
    switch (kind) {
    case Kind::flag:
        *status = vokReadFlag(s, &u);
        return u;
    case Kind::signed_value:
        *status = vokReadSigned(s, &i);
        return i;
    case Kind::unsigned_value:
        *status = vokReadUnsigned(s, &u);
        return u;
    default: {
        uint32_t size = 0;
        if ((*status = vokGetStringSize(s, &size)) != VOK_OK) return -1;
        std::string buffer(size + 1, '\x7F');
        *status = vokReadString(s, buffer.data());
        const bool intact = buffer[size] == '\0' && buffer.find_first_not_of('x') == size;
        return intact ? size : -1;
    }
    }
}

int64_t read_cursor(uint8_t **p, Kind kind, uint16_t *status) {
    uint32_t u = 0;
    int32_t i = 0;
    switch (kind) {
    case Kind::flag:
        *status = vokDecodeFlag(p, &u);
        return u;
    case Kind::signed_value:
        *status = vokDecodeSigned(p, &i);
        return i;
    case Kind::unsigned_value:
        *status = vokDecodeUnsigned(p, &u);
        return u;
    default: {
        char *copy = nullptr;
        if ((*status = vokDecodeString(p, &copy)) != VOK_OK) return -1;
        const std::string text(copy);
        vokDestroyStream(copy);
        return text.find_first_not_of('x') == std::string::npos ? int64_t(text.size()) : -1;
    }
    }
}

// Names a case by its first bytes in test listings.
void PrintTo(const ItemCase &c, std::ostream *out) {
    for (size_t n = 0; n < c.bytes.size() && n < 6; ++n)
        *out << int{c.bytes[n]} << ' ';
    if (c.bytes.empty()) *out << "refused, length " << c.number;
}

class Items : public ::testing::TestWithParam<ItemCase> {};

TEST_P(Items, BothFamiliesWriteTheSameBytes) {
    const ItemCase &c = GetParam();
    const bool is_string = c.kind == Kind::plain || c.kind == Kind::utf8;
    const std::string text = is_string ? std::string(static_cast<size_t>(c.number), 'x') : "";
    const uint16_t expected = c.bytes.empty() ? VOK_STRING_TOO_LONG : VOK_OK;

    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(write(&s, c, text), expected);
    EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), c.bytes));
    vokDestroyStream(s.data);

    // The cursor must write exactly the item and move past it, or on a
    // refusal write nothing and stay.
    Bytes memory(c.bytes.size() + 16, 0xA5);
    uint8_t *p = memory.data();
    EXPECT_EQ(encode(&p, c, text), expected);
    ASSERT_EQ(p - memory.data(), std::ssize(c.bytes));
    EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), memory.begin()));
    EXPECT_TRUE(std::all_of(memory.begin() + std::ssize(c.bytes), memory.end(),
                            [](uint8_t b) { return b == 0xA5; }));
}

void check_read_back(const ItemCase &c) {
    const bool is_string = c.kind == Kind::plain || c.kind == Kind::utf8;
    const int64_t value = is_string ? c.number : c.read_back;

    const Bytes block = block_of(c.bytes);
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
    uint16_t status = 0;
    EXPECT_EQ(read_handle(&s, c.kind, &status), value);
    EXPECT_EQ(status, VOK_OK);
    EXPECT_EQ(vokPeek(&s), VOK_END);

    Bytes item = c.bytes;
    uint8_t *p = item.data();
    EXPECT_EQ(read_cursor(&p, c.kind, &status), value);
    EXPECT_EQ(status, VOK_OK);
    EXPECT_EQ(p - item.data(), std::ssize(item));
}

TEST_P(Items, BothFamiliesReadTheValueBack) {
    if (GetParam().bytes.empty()) return; // refused: nothing to read
    check_read_back(GetParam());
}

ItemCase u(int64_t v, const char *b) { return {Kind::unsigned_value, v, hex(b), v}; }
ItemCase i(int64_t v, const char *b) { return {Kind::signed_value, v, hex(b), v}; }

INSTANTIATE_TEST_SUITE_P(
    Canonical, Items,
    ::testing::Values(u(0, "D2 00"), u(255, "D2 FF"), u(256, "D4 01 00"), u(65535, "D4 FF FF"),
                      u(65536, "D5 00 01 00 00"), u(UINT32_MAX, "D5 FF FF FF FF"), i(0, "D8 00 00"),
                      i(5, "D8 05 00"), i(-5, "D8 05 01"), i(-255, "D8 FF 01"),
                      i(256, "D9 01 00 00"), i(-300, "D9 01 2C 01"), i(-65535, "D9 FF FF 01"),
                      i(-65536, "DA 00 01 00 00 01"), i(INT32_MIN, "DA 80 00 00 00 01"),
                      i(INT32_MAX, "DA 7F FF FF FF 00"), ItemCase{Kind::flag, 5, hex("CA 01"), 1},
                      ItemCase{Kind::flag, -1, hex("CA 01"), 1},
                      ItemCase{Kind::flag, 0, hex("CA 00"), 0},
                      ItemCase{Kind::plain, 0, hex("CC 00"), 0},
                      ItemCase{Kind::plain, 255, string_bytes("CC FF", 255), 0},
                      ItemCase{Kind::plain, 256, string_bytes("CD 01 00", 256), 0},
                      ItemCase{Kind::plain, 65535, string_bytes("CD FF FF", 65535), 0},
                      ItemCase{Kind::plain, 65536, {}, 0}, ItemCase{Kind::utf8, 0, hex("D0 00"), 0},
                      ItemCase{Kind::utf8, 255, string_bytes("D0 FF", 255), 0},
                      ItemCase{Kind::utf8, 300, string_bytes("D1 01 2C", 300), 0},
                      ItemCase{Kind::utf8, 65535, string_bytes("D1 FF FF", 65535), 0},
                      ItemCase{Kind::utf8, 65536, string_bytes("E8 00 01 00 00", 65536), 0},
                      ItemCase{Kind::utf8, 70000, string_bytes("E8 00 01 11 70", 70000), 0}));

// Valid bytes from other producers: wider fields than needed, sign and flag
// bytes other than 0 and 1.  Readers take them as they stand.
ItemCase foreign(Kind kind, const char *bytes, int64_t value) {
    return {kind, kind == Kind::plain ? value : 0, hex(bytes), value};
}
class ForeignItems : public ::testing::TestWithParam<ItemCase> {};
TEST_P(ForeignItems, BothFamiliesReadTheValueBack) { check_read_back(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Foreign, ForeignItems,
                         ::testing::Values(foreign(Kind::flag, "CA 07", 7),
                                           foreign(Kind::signed_value, "D8 05 02", -5),
                                           foreign(Kind::signed_value, "D8 00 01", 0),
                                           foreign(Kind::signed_value, "DA FF FF FF FF 00", -1),
                                           foreign(Kind::unsigned_value, "D4 00 05", 5),
                                           foreign(Kind::unsigned_value, "D5 00 00 00 05", 5),
                                           foreign(Kind::plain, "CD 00 02 78 78", 2)));

} // namespace
