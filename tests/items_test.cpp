// Every item kind at every width in exact bytes, as a handle writer writes it.
// fuzz_roundtrip holds the cursor side and the readers to these writers (seeds
// edge_values, long_*); other forms than the writers choose meet the
// exhaustive walk and the reader fuzzer.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

// Strings are numbered by their length and hold that many letters x.
using Write = std::function<uint16_t(vokStream *, uint32_t)>;
std::string xs(uint32_t n) { return std::string(n, 'x'); }

const Write kUnsigned = vokWriteUnsigned;
const Write kSigned = [](vokStream *s, uint32_t v) { return vokWriteSigned(s, int32_t(v)); };
const Write kFlag = [](vokStream *s, uint32_t v) { return vokWriteFlag(s, int32_t(v)); };
const Write kPlain = [](vokStream *s, uint32_t n) { return vokWriteString(s, xs(n).c_str()); };
const Write kUtf8 = [](vokStream *s, uint32_t n) { return vokWriteUTF8String(s, xs(n).c_str()); };

// A plain string above 65,535 bytes is refused (no bytes); any true flag is
// stored as 1.
TEST(Items, WritersWriteTheseBytes) {
    // clang-format off
    const std::tuple<const Write &, uint32_t, const char *> cases[] = {
        {kUnsigned, 0, "D2 00"}, {kUnsigned, 255, "D2 FF"}, {kUnsigned, 256, "D4 01 00"},
        {kUnsigned, 65535, "D4 FF FF"}, {kUnsigned, 65536, "D5 00 01 00 00"},
        {kUnsigned, UINT32_MAX, "D5 FF FF FF FF"},
        {kSigned, 0, "D8 00 00"}, {kSigned, 5, "D8 05 00"}, {kSigned, uint32_t(-5), "D8 05 01"},
        {kSigned, uint32_t(-255), "D8 FF 01"}, {kSigned, 256, "D9 01 00 00"},
        {kSigned, uint32_t(-300), "D9 01 2C 01"}, {kSigned, uint32_t(-65535), "D9 FF FF 01"},
        {kSigned, uint32_t(-65536), "DA 00 01 00 00 01"},
        {kSigned, uint32_t(INT32_MIN), "DA 80 00 00 00 01"},
        {kSigned, INT32_MAX, "DA 7F FF FF FF 00"},
        {kPlain, 0, "CC 00"}, {kPlain, 255, "CC FF"}, {kPlain, 256, "CD 01 00"},
        {kPlain, 65535, "CD FF FF"}, {kPlain, 65536, ""},
        {kUtf8, 0, "D0 00"}, {kUtf8, 255, "D0 FF"}, {kUtf8, 300, "D1 01 2C"},
        {kUtf8, 65535, "D1 FF FF"}, {kUtf8, 65536, "E8 00 01 00 00"},
        {kUtf8, 70000, "E8 00 01 11 70"},
        {kFlag, 0, "CA 00"}, {kFlag, 1, "CA 01"}, {kFlag, 5, "CA 01"}, {kFlag, uint32_t(-1), "CA 01"},
    };
    // clang-format on
    for (const auto &[write, value, item] : cases) {
        SCOPED_TRACE(std::string(item) + " for " + std::to_string(value));
        const bool string = &write == &kPlain || &write == &kUtf8;
        const Bytes bytes = concat(hex(item), string && *item ? Bytes(value, 'x') : Bytes{});
        vokStream s;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        EXPECT_EQ(write(&s, value), bytes.empty() ? VOK_STRING_TOO_LONG : VOK_OK);
        EXPECT_EQ(written(s), concat(hex("00 00 00 00 C8 01 D2 00"), bytes));
        vokDestroyStream(s.data);
    }
}

} // namespace
