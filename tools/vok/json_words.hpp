// The names of the entry kinds in the JSON lines, shared by their writer
// and their reader.
#pragma once

#include <optional>
#include <string_view>

#include "item.hpp"

namespace vok::tool::json_words {

struct KindName {
    ItemKind kind;
    std::string_view name;
};

inline constexpr KindName kKindNames[] = {
    {ItemKind::header, "stream"},         {ItemKind::user_mark, "mark"},
    {ItemKind::phrase_mark, "phrase"},    {ItemKind::flag, "flag"},
    {ItemKind::unsigned_int, "unsigned"}, {ItemKind::signed_int, "signed"},
    {ItemKind::plain_string, "string"},   {ItemKind::utf8_string, "utf8"},
    {ItemKind::safe_string, "safe"},      {ItemKind::end, "end"},
};

constexpr std::string_view name_of(ItemKind kind) noexcept {
    for (const KindName &k : kKindNames)
        if (k.kind == kind) return k.name;
    return {};
}

constexpr std::optional<ItemKind> kind_named(std::string_view name) noexcept {
    for (const KindName &k : kKindNames)
        if (k.name == name) return k.kind;
    return std::nullopt;
}

} // namespace vok::tool::json_words
