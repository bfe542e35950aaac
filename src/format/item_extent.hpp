// The size of an item from its first bytes, checked against the bytes that
// are really there.  Readers and skipping use it so that a hostile length
// field or a truncated item is detected before anything is read past a block.
#pragma once

#include <cstdint>

#include "integer_item.hpp"
#include "string_item.hpp"
#include "tags.hpp"

namespace vok::format {

enum class Extent : uint8_t {
    ok,        // size holds the item's size, which fits in the bytes available
    truncated, // the item's fields or content run past the bytes available
    no_rule,   // start tag, end marker, unassigned tag or byte above the tags
};

// What the first bytes of an item say, decoded once; valid when kind is ok.
struct ItemExtent {
    Extent kind;
    uint32_t head;   // a string's tag and length field; the whole item otherwise
    uint32_t length; // a string's length field, 0 for other items
    uint64_t size;   // the whole item: for a string, head plus the content stored
};

// Fixed size of an item that has no length field, or 0 if the byte does not
// start such an item.
constexpr uint32_t fixed_item_size(uint8_t byte) noexcept {
    const Shape shape = kShapes[byte];
    switch (shape.form) {
    case Form::none:
    case Form::text:
    case Form::safe:
        return 0;
    default:
        return head_size(shape);
    }
}

// A string item behind a tag whose length field is `width` bytes.  The
// length is read only once the field is known to be there; safe strings
// store no content, so their size is their head's.
inline ItemExtent string_extent(const uint8_t *p, unsigned width, uint64_t available) noexcept {
    const uint32_t head = head_size(Form::text, width);
    if (head > available) return {Extent::truncated, 0, 0, 0};
    const uint32_t length = get_string_length(p, width);
    const uint64_t size = is_safe_tag(p[0]) ? head : uint64_t{head} + length;
    if (size > available) return {Extent::truncated, 0, 0, 0};
    return {Extent::ok, head, length, size};
}

// The item at p, of which `available` bytes may be read (at least 1).
inline ItemExtent item_extent(const uint8_t *p, uint64_t available) noexcept {
    if (const unsigned width = length_width(p[0])) return string_extent(p, width, available);
    const uint32_t size = fixed_item_size(p[0]);
    if (size == 0) return {Extent::no_rule, 0, 0, 0};
    if (size > available) return {Extent::truncated, 0, 0, 0};
    return {Extent::ok, size, 0, size};
}

} // namespace vok::format
