#include "tags.hpp"

#include <array>

#include "vok32x.h"

namespace vok::tool {

namespace {

bool kind_of_class(uint8_t kind_class, ItemKind &kind) noexcept {
    switch (kind_class) {
    case VOKX_CLASS_FLAG:
        kind = ItemKind::flag;
        return true;
    case VOKX_CLASS_UNSIGNED:
        kind = ItemKind::unsigned_int;
        return true;
    case VOKX_CLASS_SIGNED:
        kind = ItemKind::signed_int;
        return true;
    case VOKX_CLASS_STRING:
        kind = ItemKind::plain_string;
        return true;
    case VOKX_CLASS_UTF8:
        kind = ItemKind::utf8_string;
        return true;
    case VOKX_CLASS_SAFE:
        kind = ItemKind::safe_string;
        return true;
    case VOKX_CLASS_PHRASE:
        kind = ItemKind::phrase_mark;
        return true;
    default:
        return false;
    }
}

// Tag by kind and width, asked of vok32x once.
struct TagsByKind {
    std::array<std::array<uint8_t, 5>, 16> tag{};
    TagsByKind() noexcept {
        for (unsigned b = VOK_START; b <= VOK_INVALID; ++b) {
            ItemKind kind{};
            const auto byte = static_cast<uint8_t>(b);
            const unsigned width = vokxFieldWidth(byte);
            if (kind_of_tag(byte, kind) && width < 5 && tag[unsigned(kind)][width] == 0)
                tag[unsigned(kind)][width] = byte;
        }
    }
};

} // namespace

bool kind_of_tag(uint8_t tag, ItemKind &kind) noexcept {
    return tag >= VOK_START && kind_of_class(vokxKindClass(tag), kind);
}

uint8_t tag_for(ItemKind kind, unsigned width) noexcept {
    static const TagsByKind tags;
    return width < 5 ? tags.tag[unsigned(kind)][width] : 0;
}

const char *kind_word(ItemKind kind) noexcept {
    switch (kind) {
    case ItemKind::flag:
        return "flag";
    case ItemKind::phrase_mark:
        return "phrase mark";
    case ItemKind::unsigned_int:
        return "unsigned";
    case ItemKind::signed_int:
        return "signed";
    default:
        return "string";
    }
}

} // namespace vok::tool
