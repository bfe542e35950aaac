// Our QVRCore on its own: strict UTF-8 in, well-formed UTF-8 out, the
// byte-block contract vok32 relies on, and the status values it reports.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "i18n/text.hpp"
#include "vok32.h"

using i18n_test::Text;
using i18n_test::Units;

namespace {

const std::string kMixed = "a\u00e9\u6f22\U0001F600";
const Units kMixedUnits = {0x61, 0xE9, 0x6F22, 0xD83D, 0xDE00};

int32_t set_bytes(i18nString string, const std::string &bytes, uint8_t flags = 0,
                  uint32_t encoding = 0) {
    int32_t status = -1;
    i18nStringBytesToString(string, reinterpret_cast<const uint8_t *>(bytes.data()),
                            static_cast<uint32_t>(bytes.size()), encoding, flags, &status);
    return status;
}

uint8_t untouched = 0; // where the block pointer points until QVRCore sets it
using Converted = std::tuple<uint32_t, uint8_t *, int32_t>; // count, block, status

Converted to_bytes(i18nString string, uint32_t encoding = 0) {
    uint8_t *block = &untouched;
    int32_t status = -1;
    const uint32_t count = i18nStringStringToBytes(string, &block, encoding, &status);
    return {count, block, status};
}

// Every call stores a status, success included (the helpers start from -1).
TEST(QvrCore, Utf8AndUtf16RoundTripAndEmptyIsANullBlock) {
    const Text t;
    EXPECT_EQ(set_bytes(t.handle, kMixed), QVRCORE_OK);
    EXPECT_EQ(t.units(), kMixedUnits);
    EXPECT_EQ(set_bytes(t.handle, std::string("a\0b", 3)), QVRCORE_OK); // zeros are text too
    EXPECT_EQ(t.units(), (Units{0x61, 0, 0x62}));

    const auto [count, block, status] = to_bytes(Text(kMixedUnits).handle);
    EXPECT_EQ(status, QVRCORE_OK);
    ASSERT_EQ(count, kMixed.size() + 1);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), count), kMixed + '\0');
    // Released by vok32, as vok32 releases such blocks: the test program may
    // run on another C runtime than the DLLs, which share one.
    vokDestroyStream(block);

    EXPECT_EQ(set_bytes(t.handle, ""), QVRCORE_OK);
    EXPECT_EQ(to_bytes(t.handle), Converted(1, nullptr, QVRCORE_OK)); // empty: no block at all
}

TEST(QvrCore, IllFormedTextIsRefused) {
    const Text t(kMixed);
    for (const char *bytes :
         {"\xC3\x28", "\xA0\xA1", "\xE2\x82", "\xC0\xAF" /* overlong */,
          "\xED\xA0\x80" /* surrogate */, "\xF4\x90\x80\x80" /* > U+10FFFF */}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(set_bytes(t.handle, bytes), QVRCORE_INVALID_CHAR);
        EXPECT_EQ(t.units(), kMixedUnits); // the old text is kept
    }
    EXPECT_EQ(set_bytes(t.handle, "\xC3\x28", QVRCORE_FLAG_REPLACE_INVALID), QVRCORE_OK);
    EXPECT_EQ(t.units(), (Units{0xFFFD, 0x28}));

    for (const Units &units : {Units{0xD800}, Units{0x61, 0xDC00}, Units{0xDE00, 0xD83D}}) {
        const Text unpaired(units);
        EXPECT_EQ(unpaired.units(), units); // kept as given
        EXPECT_EQ(to_bytes(unpaired.handle), Converted(0, &untouched, QVRCORE_INVALID_CHAR));
    }
}

TEST(QvrCore, BadArgumentsAreNamed) {
    const Text t;
    EXPECT_EQ(set_bytes(nullptr, "a"), QVRCORE_ILLEGAL_ARGUMENT);
    EXPECT_EQ(set_bytes(t.handle, "a", 2), QVRCORE_ILLEGAL_ARGUMENT);
    EXPECT_EQ(set_bytes(t.handle, "a", 0, 1), QVRCORE_ILLEGAL_ARGUMENT);
    int32_t status = 0;
    i18nStringBytesToString(t.handle, nullptr, 1, 0, 0, &status);
    EXPECT_EQ(status, QVRCORE_ILLEGAL_ARGUMENT);
    EXPECT_EQ(to_bytes(nullptr), Converted(0, &untouched, QVRCORE_ILLEGAL_ARGUMENT));
    EXPECT_EQ(to_bytes(t.handle, 7), Converted(0, &untouched, QVRCORE_ILLEGAL_ARGUMENT));
    EXPECT_EQ(t.units(), Units{}); // refusals change nothing
}

} // namespace
