// Every item kind at every width, checked once for both families: the exact
// bytes that a handle writer and a cursor encoder produce, and the value that
// a cursor decoder takes back from them.  The handle readers and phrase
// skipping meet these items in the exhaustive walk and fuzz_roundtrip; items
// in other forms than the writers choose (wider fields, other sign and flag
// bytes) in the exhaustive walk and the reader fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

// One item kind through both families; strings are numbered by their length
// and hold that many letters x.
struct Kind {
    std::function<uint16_t(vokStream *, uint32_t)> write;
    std::function<uint16_t(uint8_t **, uint32_t)> encode;
    std::function<uint32_t(uint8_t **)> decode;
    bool string = false;
};

template <typename T, typename Reader> auto read_as(Reader reader) {
    return [reader](auto *at) {
        T value{};
        EXPECT_EQ(reader(at, &value), VOK_OK);
        return static_cast<uint32_t>(value);
    };
}

std::string xs(uint32_t n) { return std::string(n, 'x'); }

uint32_t decode_string(uint8_t **p) {
    char *copy = nullptr;
    EXPECT_EQ(vokDecodeString(p, &copy), VOK_OK);
    const std::string text = copy != nullptr ? copy : "(none)";
    vokDestroyStream(copy);
    EXPECT_EQ(text, xs(static_cast<uint32_t>(text.size())));
    return static_cast<uint32_t>(text.size());
}

const Kind kUnsigned{vokWriteUnsigned, vokEncodeUnsigned, read_as<uint32_t>(vokDecodeUnsigned)};
const Kind kSigned{[](vokStream *s, uint32_t v) { return vokWriteSigned(s, int32_t(v)); },
                   [](uint8_t **p, uint32_t v) { return vokEncodeSigned(p, int32_t(v)); },
                   read_as<int32_t>(vokDecodeSigned)};
const Kind kFlag{[](vokStream *s, uint32_t v) { return vokWriteFlag(s, int32_t(v)); },
                 [](uint8_t **p, uint32_t v) { return vokEncodeFlag(p, int32_t(v)); },
                 read_as<uint32_t>(vokDecodeFlag)};
const Kind kPlain{[](vokStream *s, uint32_t n) { return vokWriteString(s, xs(n).c_str()); },
                  [](uint8_t **p, uint32_t n) { return vokEncodeString(p, xs(n).c_str()); },
                  decode_string, true};
const Kind kUtf8{[](vokStream *s, uint32_t n) { return vokWriteUTF8String(s, xs(n).c_str()); },
                 [](uint8_t **p, uint32_t n) { return vokEncodeUTF8String(p, xs(n).c_str()); },
                 decode_string, true};

// The handle writer and the cursor encoder write exactly `item` (or, when it
// is empty, refuse and write nothing), which then reads back as `value`.
void check_item(const Kind &kind, uint32_t value, const char *item, uint32_t read_back) {
    SCOPED_TRACE(std::string(item) + " for " + std::to_string(value));
    const Bytes bytes = concat(hex(item), kind.string && *item ? Bytes(value, 'x') : Bytes{});
    const uint16_t expected = bytes.empty() ? VOK_STRING_TOO_LONG : VOK_OK;
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(kind.write(&s, value), expected);
    EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), bytes));
    vokDestroyStream(s.data);

    Bytes memory(bytes.size() + 16, 0xA5);
    uint8_t *p = memory.data();
    EXPECT_EQ(kind.encode(&p, value), expected);
    EXPECT_EQ(Bytes(memory.data(), p), bytes);
    EXPECT_TRUE(std::all_of(p, memory.data() + memory.size(), [](uint8_t b) { return b == 0xA5; }));
    if (bytes.empty()) return;
    p = memory.data();
    EXPECT_EQ(kind.decode(&p), read_back);
    EXPECT_EQ(p, memory.data() + bytes.size());
}

// A plain string above 65,535 bytes is refused (no bytes).
TEST(Items, BothFamiliesWriteAndReadTheSameBytes) {
    const std::tuple<const Kind &, uint32_t, const char *> cases[] = {
        {kUnsigned, 0, "D2 00"},
        {kUnsigned, 255, "D2 FF"},
        {kUnsigned, 256, "D4 01 00"},
        {kUnsigned, 65535, "D4 FF FF"},
        {kUnsigned, 65536, "D5 00 01 00 00"},
        {kUnsigned, UINT32_MAX, "D5 FF FF FF FF"},
        {kSigned, 0, "D8 00 00"},
        {kSigned, 5, "D8 05 00"},
        {kSigned, uint32_t(-5), "D8 05 01"},
        {kSigned, uint32_t(-255), "D8 FF 01"},
        {kSigned, 256, "D9 01 00 00"},
        {kSigned, uint32_t(-300), "D9 01 2C 01"},
        {kSigned, uint32_t(-65535), "D9 FF FF 01"},
        {kSigned, uint32_t(-65536), "DA 00 01 00 00 01"},
        {kSigned, uint32_t(INT32_MIN), "DA 80 00 00 00 01"},
        {kSigned, INT32_MAX, "DA 7F FF FF FF 00"},
        {kFlag, 0, "CA 00"},
        {kPlain, 0, "CC 00"},
        {kPlain, 255, "CC FF"},
        {kPlain, 256, "CD 01 00"},
        {kPlain, 65535, "CD FF FF"},
        {kPlain, 65536, ""},
        {kUtf8, 0, "D0 00"},
        {kUtf8, 255, "D0 FF"},
        {kUtf8, 300, "D1 01 2C"},
        {kUtf8, 65535, "D1 FF FF"},
        {kUtf8, 65536, "E8 00 01 00 00"},
        {kUtf8, 70000, "E8 00 01 11 70"}};
    for (const auto &[kind, value, item] : cases)
        check_item(kind, value, item, value);
    for (const uint32_t flag : {1u, 5u, uint32_t(-1)}) // any true flag is stored and read as 1
        check_item(kFlag, flag, "CA 01", 1);
}

} // namespace
