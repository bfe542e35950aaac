// The words of the text notation, shared by its writer and its parser.
#pragma once

#include <string_view>

#include "item.hpp"

namespace vok::tool::words {

inline constexpr std::string_view kStream = "stream";
inline constexpr std::string_view kType = "type";
inline constexpr std::string_view kVersion = "version";
inline constexpr std::string_view kSign = "sign=";
inline constexpr std::string_view kTrue = "true";
inline constexpr std::string_view kFalse = "false";
// Follows the closing quote of a string that dump shortened.
inline constexpr std::string_view kShortened = "...";
inline constexpr char kComment = '#';
// Separates a listing's offset and hex columns from the item.
inline constexpr char kListingBar = '|';
// Introduces an explicit field width in bits: u:16, str:16, version:32.
inline constexpr char kWidth = ':';

struct KindWord {
    ItemKind kind;
    std::string_view word;
};

inline constexpr KindWord kKindWords[] = {
    {ItemKind::header, kStream},       {ItemKind::user_mark, "mark"},
    {ItemKind::phrase_mark, "phrase"}, {ItemKind::flag, "flag"},
    {ItemKind::unsigned_int, "u"},     {ItemKind::signed_int, "s"},
    {ItemKind::plain_string, "str"},   {ItemKind::utf8_string, "utf8"},
    {ItemKind::safe_string, "safe"},   {ItemKind::end, "end"},
};

constexpr std::string_view word_of(ItemKind kind) noexcept {
    for (const KindWord &k : kKindWords)
        if (k.kind == kind) return k.word;
    return {};
}

// Kinds whose stored width may be written out explicitly.
constexpr bool takes_width(ItemKind kind) noexcept {
    switch (kind) {
    case ItemKind::unsigned_int:
    case ItemKind::signed_int:
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
    case ItemKind::safe_string:
        return true;
    default:
        return false;
    }
}

} // namespace vok::tool::words
