// Classification of the first byte of an item: which bytes are user marks
// and which tags there are, and the shape of the item each tag starts --
// what follows the tag and how wide its field is -- in one table that every
// reader, writer and walker of the library takes its sizes from.  The
// numeric values of the tags are the public constants of vok32.h.
#pragma once

#include <array>
#include <cstdint>

#include "vok32.h"
#include "vok32_items.h"

namespace vok::format {

inline constexpr uint8_t kFirstTag = VOK_START; // bytes below are user marks
inline constexpr uint8_t kLastTag = VOK_UTF8_4; // bytes above are never tags

constexpr bool is_user_mark(uint8_t byte) noexcept { return byte < kFirstTag; }

constexpr bool is_utf8_tag(uint8_t t) noexcept {
    return t == VOK_UTF8_1 || t == VOK_UTF8_2 || t == VOK_UTF8_4;
}

constexpr bool is_safe_tag(uint8_t t) noexcept { return t == VOK_SAFE_1 || t == VOK_SAFE_2; }

// The type code that peeking reports for a byte: the tag itself, user marks
// folded into VOK_USER_MARK, bytes past the last tag into VOK_INVALID.
constexpr uint8_t type_code(uint8_t byte) noexcept {
    if (byte < kFirstTag) return VOK_USER_MARK;
    if (byte > kLastTag) return VOK_INVALID;
    return byte;
}

// What follows the first byte of an item.
enum class Form : uint8_t {
    none,          // no item starts with the byte: markers, unassigned tags, bytes above
    mark,          // a user mark: the byte alone
    number,        // an unsigned value field
    signed_number, // a magnitude field, then a sign byte
    byte,          // one byte: a flag's or a phrase mark's
    text,          // a length field, then that many bytes of content
    safe,          // a length field; the content is withheld
};

struct Shape {
    Form form;
    uint8_t width; // of the value, magnitude or length field; 1 for a byte
};

// The one list of the tags' shapes: tag, form, width of its field.  225 has
// none: no writer puts it at the start of an item.
#define VOK_TAG_SHAPES(X)                                                                          \
    X(VOK_FLAG, byte, 1)                                                                           \
    X(VOK_PHRASE_MARK, byte, 1)                                                                    \
    X(VOK_UNSIGNED_1, number, 1)                                                                   \
    X(VOK_UNSIGNED_2, number, 2)                                                                   \
    X(VOK_UNSIGNED_4, number, 4)                                                                   \
    X(VOK_SIGNED_1, signed_number, 1)                                                              \
    X(VOK_SIGNED_2, signed_number, 2)                                                              \
    X(VOK_SIGNED_4, signed_number, 4)                                                              \
    X(VOK_STRING_1, text, 1)                                                                       \
    X(VOK_STRING_2, text, 2)                                                                       \
    X(VOK_UTF8_1, text, 1)                                                                         \
    X(VOK_UTF8_2, text, 2)                                                                         \
    X(VOK_UTF8_4, text, 4)                                                                         \
    X(VOK_SAFE_1, safe, 1)                                                                         \
    X(VOK_SAFE_2, safe, 2)

constexpr Shape shape_of(uint8_t b) noexcept {
    if (is_user_mark(b)) return {Form::mark, 0};
    switch (b) {
#define VOK_SHAPE_CASE(tag, form, width)                                                           \
    case tag:                                                                                      \
        return {Form::form, width};
        VOK_TAG_SHAPES(VOK_SHAPE_CASE)
#undef VOK_SHAPE_CASE
    default:
        return {Form::none, 0};
    }
}

// The shapes as a table indexed by the byte: one load where a reader needs
// one (branches on the tag cost integer decoding half its speed).
inline constexpr auto kShapes = [] {
    std::array<Shape, 256> shapes{};
    for (unsigned b = 0; b < 256; ++b)
        shapes[b] = shape_of(static_cast<uint8_t>(b));
    return shapes;
}();

// Bytes of an item before any content: the tag, its field and a signed
// item's sign byte -- the whole item but for a string's content.
constexpr uint32_t head_size(Form form, unsigned width) noexcept {
    if (form == Form::mark) return 1;
    return 1 + width + (form == Form::signed_number ? 1 : 0);
}
constexpr uint32_t head_size(Shape shape) noexcept { return head_size(shape.form, shape.width); }

// A width for every byte: the field width of the tags of one form, 0 for
// every other byte.
struct WidthByTag {
    uint8_t width[256];
};
constexpr WidthByTag widths_of(Form form) noexcept {
    WidthByTag table{};
    for (unsigned b = 0; b < 256; ++b)
        table.width[b] = kShapes[b].form == form ? kShapes[b].width : 0;
    return table;
}

// The tag of a form and width (1, 2 or 4): the reverse of the table, looked
// up rather than chosen by branches (tag chosen by branches: ints 80-104%
// slower to encode, records 29-37%).
constexpr std::array<uint8_t, 5> tags_of(Form form) noexcept {
    std::array<uint8_t, 5> tags{};
    for (unsigned b = 256; b-- > 0;)
        if (kShapes[b].form == form) tags[kShapes[b].width] = static_cast<uint8_t>(b);
    return tags;
}
inline constexpr auto kUnsignedTags = tags_of(Form::number);
inline constexpr auto kSignedTags = tags_of(Form::signed_number);
constexpr uint8_t unsigned_tag(unsigned width) noexcept { return kUnsignedTags[width]; }
constexpr uint8_t signed_tag(unsigned width) noexcept { return kSignedTags[width]; }

// Widths for a byte already known to be an unsigned or a signed tag, from
// the tag values themselves: no table load for a walk to wait for (one load
// per field, and widths computed from the tag: docs/performance.md).
inline unsigned unsigned_tag_width(uint8_t tag) noexcept { return vok_unsigned_tag_width(tag); }
inline unsigned signed_tag_width(uint8_t tag) noexcept { return vok_signed_tag_width(tag); }

// The public header's tables and width formulas, by which generated code
// and the writers choose tags, must be this list's.
namespace detail {
constexpr bool public_tags_agree() noexcept {
    constexpr uint8_t unsigned_tags[5] = VOK_UNSIGNED_TAGS, signed_tags[5] = VOK_SIGNED_TAGS;
    for (unsigned width : {1u, 2u, 4u})
        if (unsigned_tags[width] != kUnsignedTags[width] ||
            signed_tags[width] != kSignedTags[width])
            return false;
    for (unsigned b = 0; b < 256; ++b) {
        const Shape s = kShapes[b];
        if (s.form == Form::number && VOK_UNSIGNED_TAG_WIDTH(b) != s.width) return false;
        if (s.form == Form::signed_number && VOK_SIGNED_TAG_WIDTH(b) != s.width) return false;
    }
    return true;
}
} // namespace detail
static_assert(detail::public_tags_agree(), "vok32_items.h must choose the tags this list gives");

} // namespace vok::format
