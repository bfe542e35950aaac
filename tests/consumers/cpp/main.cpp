// An installed-library consumer in C++20: writes two records with vok::writer
// (an i18n string object among the items, through the C interface), frames
// and walks them with the ranges of vok32x.hpp and reads each back through a
// std::span with vok::reader opened by vokx::open.  Built without exceptions,
// as some users build: every status is checked, as [[nodiscard]] demands.
#include <array>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include <qvrcore.h>
#include <vok32.hpp>
#include <vok32x.hpp>

int main() {
    i18nString greeting = i18nStringCreate(), copy = i18nStringCreate();
    std::int32_t conversion = 0;
    i18nStringSetUTF8(greeting, "gr\xC3\xBC\xC3\x9F dich", &conversion);
    std::vector<std::uint8_t> bytes;
    bool same = true;
    for (unsigned value : {300u, 7u}) {
        vok::writer out(7, 3);
        same = same && out.write(value) == vok::status::ok &&
               out.write(std::string_view("caf\xC3\xA9 au lait").substr(0, 5)) == vok::status::ok &&
               vokWriteI18NString(out.native_handle(), greeting, &conversion) == VOK_OK;
        const vok::result<vok::block> block = out.finish();
        if (!block) return 1;
        bytes.insert(bytes.end(), block->data(), block->data() + block->size());
    }
    unsigned sum = 0, items = 0;
    auto frames = vokx::frames(bytes.data(), bytes.size());
    for (const vokx::frame &f : frames) {
        vok::reader in(std::span(f.bytes, f.info.length), 7, 3);
        std::array<char, 16> buffer{};
        sum += in.read_unsigned().value();
        same = same && in.read_string(std::span(buffer)).value() == "caf\xC3\xA9" &&
               vokReadI18NString(in.native_handle(), copy, &conversion) == VOK_OK &&
               i18nStringLength(copy) == i18nStringLength(greeting) && in.at_end();
        vok::reader walked = vokx::open(f.bytes, f.info.length, 7, 3);
        same = same && walked.open_status() == vok::status::ok;
        for (const vokxItem &item : vokx::items(walked))
            items += vokx::kind_class(item) != VOKX_CLASS_INVALID;
    }
    i18nStringDestroy(copy);
    i18nStringDestroy(greeting);
    same = same && frames.status() == VOK_OK && sum == 307 && items == 6;
    std::printf("cpp consumer: vok32 %s, vok32x %s, two records written, walked and read back%s\n",
                VOK32_VERSION_STRING, vokxVersion(), same ? "" : ": WRONG");
    return same ? 0 : 1;
}
