// String items: a tag, a 1-, 2- or 4-byte big-endian length field and, except
// for safe strings, that many content bytes.
#pragma once

#include <array>
#include <cstdint>

#include "integer_item.hpp"
#include "tags.hpp"

namespace vok::format {

enum class StringKind : uint8_t { plain, utf8, safe };

// Room a writer reserves for a string: the content plus the tag and the
// longest length field, whatever the form finally chosen.
inline constexpr uint32_t kStringOverhead = 5;

// Plain and safe strings stop at 65,535 bytes; UTF-8 strings at the 32-bit range.
constexpr bool string_length_allowed(StringKind kind, uint64_t length) noexcept {
    return kind == StringKind::utf8 ? length <= UINT32_MAX : length <= VOK_MAX_SHORT_STRING;
}

// Width of the length field behind one of the seven string tags, 0 otherwise.
// A switch from the list of shapes rather than a load from their table:
// with the width known per case the length field is read in the form its
// width needs (a table made records 15% slower to decode on the cursor).
constexpr unsigned length_width(uint8_t tag) noexcept {
    switch (tag) {
#define VOK_LENGTH_CASE(tag, form, width)                                                          \
    case tag:                                                                                      \
        return Form::form == Form::text || Form::form == Form::safe ? width : 0;
        VOK_TAG_SHAPES(VOK_LENGTH_CASE)
#undef VOK_LENGTH_CASE
    default:
        return 0;
    }
}

constexpr bool is_string_tag(uint8_t tag) noexcept { return length_width(tag) != 0; }

constexpr uint8_t string_tag(StringKind kind, unsigned width) noexcept {
    switch (kind) {
    case StringKind::plain:
        return width == 1 ? VOK_STRING_1 : VOK_STRING_2;
    case StringKind::safe:
        return width == 1 ? VOK_SAFE_1 : VOK_SAFE_2;
    default:
        return width == 1 ? VOK_UTF8_1 : width == 2 ? VOK_UTF8_2 : VOK_UTF8_4;
    }
}
static_assert(length_width(string_tag(StringKind::plain, 2)) == 2 &&
              length_width(string_tag(StringKind::safe, 2)) == 2 &&
              length_width(string_tag(StringKind::utf8, 4)) == 4);

// Size of the tag and length field for a string of the given length.
constexpr uint32_t string_header_size(uint32_t length) noexcept {
    return head_size(Form::text, field_width(length));
}

// Writes the tag and length field (length must be allowed for kind) and
// returns where the content goes.
inline uint8_t *put_string_header(uint8_t *p, StringKind kind, uint32_t length) noexcept {
    return vok_put_string_head(p, static_cast<unsigned>(kind), length);
}
namespace detail {
constexpr bool public_string_tags_agree() noexcept {
    constexpr uint8_t tags[3][5] = VOK_STRING_TAGS;
    for (const StringKind kind : {StringKind::plain, StringKind::utf8, StringKind::safe})
        for (const unsigned width : {1u, 2u, 4u})
            // Only UTF-8 strings have 4-byte lengths.
            if (tags[static_cast<unsigned>(kind)][width] !=
                (width == 4 && kind != StringKind::utf8 ? 0 : string_tag(kind, width)))
                return false;
    return static_cast<unsigned>(StringKind::plain) == VOK_STRING_PLAIN &&
           static_cast<unsigned>(StringKind::utf8) == VOK_STRING_UTF8 &&
           static_cast<unsigned>(StringKind::safe) == VOK_STRING_SAFE;
}
} // namespace detail
static_assert(detail::public_string_tags_agree(), "vok32_items.h must choose this file's tags");

// Reads the length field behind a string tag of the given field width.
inline uint32_t get_string_length(const uint8_t *p, unsigned width) noexcept {
    return load_be(p + 1, width);
}

} // namespace vok::format
