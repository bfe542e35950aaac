#include "tags.hpp"

#include "vok32.h"

namespace vok::tool {

namespace {

constexpr TagInfo kTags[] = {
    {VOK_FLAG, ItemKind::flag, 1, "flag"},
    {VOK_PHRASE_MARK, ItemKind::phrase_mark, 1, "phrase mark"},
    {VOK_UNSIGNED_1, ItemKind::unsigned_int, 1, "unsigned"},
    {VOK_UNSIGNED_2, ItemKind::unsigned_int, 2, "unsigned"},
    {VOK_UNSIGNED_4, ItemKind::unsigned_int, 4, "unsigned"},
    {VOK_SIGNED_1, ItemKind::signed_int, 1, "signed"},
    {VOK_SIGNED_2, ItemKind::signed_int, 2, "signed"},
    {VOK_SIGNED_4, ItemKind::signed_int, 4, "signed"},
    {VOK_STRING_1, ItemKind::plain_string, 1, "string"},
    {VOK_STRING_2, ItemKind::plain_string, 2, "string"},
    {VOK_UTF8_1, ItemKind::utf8_string, 1, "string"},
    {VOK_UTF8_2, ItemKind::utf8_string, 2, "string"},
    {VOK_UTF8_4, ItemKind::utf8_string, 4, "string"},
    {VOK_SAFE_1, ItemKind::safe_string, 1, "string"},
    {VOK_SAFE_2, ItemKind::safe_string, 2, "string"},
};

} // namespace

const TagInfo *tag_info(uint8_t tag) noexcept {
    for (const TagInfo &info : kTags)
        if (info.tag == tag) return &info;
    return nullptr;
}

uint8_t tag_for(ItemKind kind, unsigned width) noexcept {
    for (const TagInfo &info : kTags)
        if (info.kind == kind && info.width == width) return info.tag;
    return 0;
}

} // namespace vok::tool
