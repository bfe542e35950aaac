// An installed-library consumer in C++20: writes a record with vok::writer,
// reads it through a std::span with vok::reader, sizes a buffer for
// vok::encoder, and stores an i18n string object through the C interface.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include <qvrcore.h>
#include <vok32.hpp>

namespace {

int fail(const char *what, vok::status code) {
    std::fprintf(stderr, "cpp consumer: %s: %s\n", what,
                 vok::make_error_code(code).message().c_str());
    return 1;
}

} // namespace

int main() {
    vok::writer out(7, 3);
    out.write(vok::user_mark{1});
    out.write(300u);
    out.write(std::string_view("caf\xC3\xA9 au lait").substr(0, 5)); // not terminated
    i18nString greeting = i18nStringCreate();
    std::int32_t conversion = 0;
    i18nStringSetUTF8(greeting, "gr\xC3\xBC\xC3\x9F dich", &conversion);
    vokWriteI18NString(out.native_handle(), greeting, &conversion);
    vok::result<vok::block> finished = out.finish();
    if (!finished) return fail("finish", finished.status());

    const vok::block &block = finished.value();
    vok::reader in(std::span(block.data(), block.size()), 7, 3);
    if (in.open_status() != vok::status::ok) return fail("open", in.open_status());
    const auto mark = in.read_user_mark();
    const auto value = in.read_unsigned();
    std::array<char, 16> buffer{};
    const auto word = in.read_string(std::span(buffer));
    if (!mark || mark.value() != 1 || !value || value.value() != 300 || !word ||
        word.value() != "caf\xC3\xA9")
        return fail("record", vok::status::wrong_type);

    i18nString copy = i18nStringCreate();
    const auto read = vokReadI18NString(in.native_handle(), copy, &conversion);
    const bool same = read == VOK_OK && i18nStringLength(copy) == i18nStringLength(greeting);
    i18nStringDestroy(copy);
    i18nStringDestroy(greeting);
    if (!same || !in.at_end()) return fail("i18n string", static_cast<vok::status>(read));

    std::array<std::uint8_t, vok::frame_size(3) + vok::encoded_size(300u)> memory{};
    vok::encoder cursor(memory.data(), memory.size(), 7, 3);
    if (const auto code = cursor.encode(300u); code != vok::status::ok) return fail("encode", code);
    if (cursor.encode(1u) != vok::status::no_memory) return fail("room", vok::status::ok);

    std::printf("cpp consumer: vok32 %s, %u-byte record written and read back\n",
                VOK32_VERSION_STRING, static_cast<unsigned>(block.size()));
    return 0;
}
