// The notation part: the tool's text notation of items — its words, the
// line parser pack reads it with (and the interface every line reader
// implements), the writer dump lists items with, and the near-miss
// suggestions in messages.  It uses stream and io.
//
// The words of the text notation, shared by its writer and its parser, and
// the kinds' names in the JSON lines.
#pragma once

#include <optional>
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

// Each kind's word in the text notation and its name in the JSON lines.
struct KindWords {
    ItemKind kind;
    std::string_view notation;
    std::string_view json;
};

inline constexpr KindWords kKindWords[] = {
    {ItemKind::header, kStream, "stream"},       {ItemKind::user_mark, "mark", "mark"},
    {ItemKind::phrase_mark, "phrase", "phrase"}, {ItemKind::flag, "flag", "flag"},
    {ItemKind::unsigned_int, "u", "unsigned"},   {ItemKind::signed_int, "s", "signed"},
    {ItemKind::plain_string, "str", "string"},   {ItemKind::utf8_string, "utf8", "utf8"},
    {ItemKind::safe_string, "safe", "safe"},     {ItemKind::end, "end", "end"},
};

// A kind's word in one notation: word_of(kind, &KindWords::json).
constexpr std::string_view word_of(ItemKind kind,
                                   std::string_view KindWords::*notation = &KindWords::notation) {
    for (const KindWords &k : kKindWords)
        if (k.kind == kind) return k.*notation;
    return {};
}

// The kind a word names in one notation, if any.
constexpr std::optional<ItemKind>
kind_named(std::string_view word, std::string_view KindWords::*notation = &KindWords::notation) {
    for (const KindWords &k : kKindWords)
        if (k.*notation == word) return k.kind;
    return std::nullopt;
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
