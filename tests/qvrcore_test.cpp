// Our QVRCore on its own: strict UTF-8 in, well-formed UTF-8 out, the
// byte-block contract vok32 relies on, and the status values it reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "i18n/text.hpp"

using i18n_test::Text;
using i18n_test::Units;

namespace {

const std::string kMixed = "a\u00e9\u6f22\U0001F600";
const Units kMixedUnits = {0x61, 0xE9, 0x6F22, 0xD83D, 0xDE00};

int32_t set_bytes(const Text &t, const std::string &bytes, uint8_t flags = 0) {
    int32_t status = -1;
    i18nStringBytesToString(t.handle, reinterpret_cast<const uint8_t *>(bytes.data()),
                            static_cast<uint32_t>(bytes.size()), 0, flags, &status);
    return status;
}

TEST(QvrCore, Utf8AndUtf16RoundTrip) {
    const Text t;
    EXPECT_EQ(set_bytes(t, kMixed), QVRCORE_OK);
    EXPECT_EQ(t.units(), kMixedUnits);
    EXPECT_EQ(i18nStringLength(t.handle), 5u);
    EXPECT_EQ(set_bytes(t, std::string("a\0b", 3)), QVRCORE_OK); // zeros are text too
    EXPECT_EQ(t.units(), (Units{0x61, 0, 0x62}));

    const Text u(kMixedUnits);
    uint8_t *block = nullptr;
    int32_t status = -1;
    const uint32_t count = i18nStringStringToBytes(u.handle, &block, 0, &status);
    EXPECT_EQ(status, QVRCORE_OK);
    ASSERT_EQ(count, kMixed.size() + 1);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), count), kMixed + '\0');
    std::free(block);
}

TEST(QvrCore, IllFormedUtf8IsRefusedAndKeepsTheOldText) {
    const char *ill_formed[] = {
        "\xC3\x28",         // lead byte without continuation
        "\xA0\xA1",         // continuation bytes alone
        "\xE2\x82",         // truncated sequence
        "\xC0\xAF",         // overlong '/'
        "\xED\xA0\x80",     // an encoded surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
    };
    const Text t(kMixed);
    for (const char *bytes : ill_formed) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(set_bytes(t, bytes), QVRCORE_INVALID_CHAR);
        int32_t status = -1;
        i18nStringSetUTF8(t.handle, bytes, &status);
        EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
        EXPECT_EQ(t.units(), kMixedUnits);
    }
    EXPECT_EQ(set_bytes(t, "\xC3\x28", QVRCORE_FLAG_REPLACE_INVALID), QVRCORE_OK);
    EXPECT_EQ(t.units(), (Units{0xFFFD, 0x28}));
}

TEST(QvrCore, UnpairedSurrogatesDoNotConvertToBytes) {
    for (const Units &units : {Units{0xD800}, Units{0x61, 0xDC00}, Units{0xDE00, 0xD83D}}) {
        const Text t(units);
        EXPECT_EQ(t.units(), units); // kept as given
        uint8_t sentinel = 0;
        uint8_t *block = &sentinel;
        int32_t status = 0;
        EXPECT_EQ(i18nStringStringToBytes(t.handle, &block, 0, &status), 0u);
        EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
        EXPECT_EQ(block, &sentinel);
    }
}

TEST(QvrCore, EmptyStringIsANullBlockWithCountOne) {
    const Text fresh, emptied(kMixed);
    EXPECT_EQ(set_bytes(emptied, ""), QVRCORE_OK);
    for (const Text *t : {&fresh, &emptied}) {
        uint8_t *block = nullptr;
        int32_t status = -1;
        EXPECT_EQ(i18nStringStringToBytes(t->handle, &block, 0, &status), 1u);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(status, QVRCORE_OK);
    }
}

TEST(QvrCore, StatusIsAlwaysStoredAndBadArgumentsAreNamed) {
    const Text t;
    const uint8_t a = 'a';
    int32_t status = QVRCORE_INVALID_CHAR; // an earlier failure does not stick
    i18nStringBytesToString(t.handle, &a, 1, 0, 0, &status);
    EXPECT_EQ(status, QVRCORE_OK);
    const struct {
        i18nString string;
        const uint8_t *bytes;
        uint32_t encoding;
        uint8_t flags;
    } refused[] = {
        {nullptr, &a, 0, 0}, {t.handle, nullptr, 0, 0}, {t.handle, &a, 1, 0}, {t.handle, &a, 0, 2}};
    for (const auto &c : refused) {
        i18nStringBytesToString(c.string, c.bytes, 1, c.encoding, c.flags, &status);
        EXPECT_EQ(status, QVRCORE_ILLEGAL_ARGUMENT);
    }
    uint8_t *block = nullptr;
    EXPECT_EQ(i18nStringStringToBytes(nullptr, &block, 0, &status), 0u);
    EXPECT_EQ(status, QVRCORE_ILLEGAL_ARGUMENT);
    EXPECT_EQ(i18nStringStringToBytes(t.handle, &block, 7, &status), 0u);
    EXPECT_EQ(status, QVRCORE_ILLEGAL_ARGUMENT);
    EXPECT_EQ(t.units(), Units{0x61});
}

} // namespace
