// vok32.dll and QVRCore.dll together, as a Windows program loads them: the
// conversions run through the system's code-page functions, and the block
// QVRCore.dll allocates is released by vok32.dll, so both must share one C
// runtime heap.  (The scripted i18n tests rely on ELF symbol interposition
// and do not run here.)
#include <gtest/gtest.h>

#include <string>

#include "byte_helpers.hpp"
#include "i18n/text.hpp"

using namespace vok_test;
using i18n_test::Text;
using i18n_test::Units;

namespace {

constexpr uint32_t kBody = 8; // first body item of a type 1, version 0 stream

TEST(I18nDll, TextCrossesBothDllsUnchanged) {
    const std::string texts[] = {"Gr\u00fc\u00dfe", "\u6f22\u5b57\u304b\u306a",
                                 "\U0001F389 \U0001D11E", std::string(300, 'x')};
    for (const std::string &utf8 : texts) {
        SCOPED_TRACE(utf8);
        const Text original(utf8), read, decoded;
        vokStream s{}, r{};
        int32_t status = -1;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        ASSERT_EQ(vokWriteI18NString(&s, original.handle, &status), VOK_OK);
        Bytes block = finish(s);
        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokReadI18NString(&r, read.handle, &status), VOK_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(read.units(), original.units());
        uint8_t *cursor = block.data() + kBody;
        EXPECT_EQ(vokDecodeI18NString(&cursor, decoded.handle, &status), VOK_OK);
        EXPECT_EQ(decoded.units(), original.units());
        EXPECT_EQ(*cursor, VOK_END);
    }
}

TEST(I18nDll, UnpairedSurrogatesAreNotWritten) {
    for (const Units &units : {Units{0xD800}, Units{0x61, 0xDC00}, Units{0xDE00, 0xD83D}}) {
        const Text text(units);
        vokStream s{};
        int32_t status = 0;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        EXPECT_EQ(vokWriteI18NString(&s, text.handle, &status), VOK_CONVERSION_FAILED);
        EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
        EXPECT_EQ(s.position, kBody);
        vokDestroyStream(s.data);
    }
}

TEST(I18nDll, IllFormedUtf8IsRefusedAndConsumed) {
    for (const char *item :
         {"D0 02 C0 AF", "D0 03 ED A0 80", "D0 04 F4 90 80 80", "D0 02 E2 82", "D0 01 FF"}) {
        SCOPED_TRACE(item);
        Bytes block = block_with_body(item);
        const Text text("kept");
        vokStream r{};
        int32_t status = 0;
        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokReadI18NString(&r, text.handle, &status), VOK_CONVERSION_FAILED);
        EXPECT_EQ(status, QVRCORE_INVALID_CHAR);
        EXPECT_EQ(vokCanRead(&r), VOK_END_OF_STREAM);
        EXPECT_EQ(text.units(), Text("kept").units());
    }
}

} // namespace
