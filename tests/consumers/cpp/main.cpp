// An installed-library consumer in C++20: writes a record with vok::writer,
// including an i18n string object through the C interface, and reads it back
// through a std::span with vok::reader.
#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include <qvrcore.h>
#include <vok32.hpp>

int main() {
    vok::writer out(7, 3);
    out.write(300u);
    out.write(std::string_view("caf\xC3\xA9 au lait").substr(0, 5)); // not terminated
    i18nString greeting = i18nStringCreate();
    i18nString copy = i18nStringCreate();
    std::int32_t conversion = 0;
    i18nStringSetUTF8(greeting, "gr\xC3\xBC\xC3\x9F dich", &conversion);
    vokWriteI18NString(out.native_handle(), greeting, &conversion);
    const vok::result<vok::block> block = out.finish();

    vok::reader in(std::span(block.value().data(), block.value().size()), 7, 3);
    std::array<char, 16> buffer{};
    const auto value = in.read_unsigned();
    const auto word = in.read_string(std::span(buffer));
    const bool same = value.value() == 300 && word.value() == "caf\xC3\xA9" &&
                      vokReadI18NString(in.native_handle(), copy, &conversion) == VOK_OK &&
                      i18nStringLength(copy) == i18nStringLength(greeting) && in.at_end();
    i18nStringDestroy(copy);
    i18nStringDestroy(greeting);
    if (!same)
        std::fprintf(stderr, "cpp consumer: the record does not read back\n");
    else
        std::printf("cpp consumer: vok32 %s, record written and read back\n", VOK32_VERSION_STRING);
    return same ? 0 : 1;
}
