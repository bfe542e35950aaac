// vok32.dll and QVRCore.dll together, as a Windows program loads them: the
// conversions run through the system's code-page functions (whose refusals
// qvrcore_test checks), and the block QVRCore.dll allocates is released by
// vok32.dll, so both must share one C runtime heap.  (The scripted i18n tests
// rely on ELF symbol interposition and do not run here.)
#include <gtest/gtest.h>

#include <string>

#include "byte_helpers.hpp"
#include "i18n/text.hpp"

using namespace vok_test;
using i18n_test::Text;

namespace {

TEST(I18nDll, TextCrossesBothDllsUnchanged) {
    const std::string texts[] = {"Gr\u00fc\u00dfe", "\u6f22\u5b57\u304b\u306a",
                                 "\U0001F389 \U0001D11E", std::string(300, 'x')};
    for (const std::string &utf8 : texts) {
        SCOPED_TRACE(utf8);
        const Text original(utf8), read;
        vokStream s{}, r{};
        int32_t status = -1;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        ASSERT_EQ(vokWriteI18NString(&s, original.handle, &status), VOK_OK);
        Bytes block = finish(s);
        ASSERT_EQ(vokOpenStream(&r, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokReadI18NString(&r, read.handle, &status), VOK_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(read.units(), original.units());
        EXPECT_EQ(vokCanRead(&r), VOK_END_OF_STREAM);
    }
}

} // namespace
