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

struct ItemExtent {
    Extent kind;
    uint64_t size; // valid when kind == Extent::ok
};

// Fixed size of an item that has no length field, or 0 if the byte does not
// start such an item.  Safe strings store no content, so their size is their
// header's.
constexpr uint32_t fixed_item_size(uint8_t byte) noexcept {
    if (is_user_mark(byte)) return 1;
    if (const unsigned w = unsigned_width(byte)) return 1 + w;
    if (const unsigned w = signed_width(byte)) return 2 + w;
    if (is_safe_tag(byte)) return 1 + length_width(byte);
    switch (byte) {
    case VOK_FLAG:
    case VOK_PHRASE_MARK:
        return 2;
    case VOK_USER_MARK:
        return 1;
    default:
        return 0;
    }
}

// Size of the item at p, of which `available` bytes may be read (at least 1).
inline ItemExtent item_extent(const uint8_t *p, uint64_t available) noexcept {
    const uint8_t tag = p[0];
    uint64_t size = fixed_item_size(tag);
    if (size == 0) {
        const unsigned width = length_width(tag);
        if (width == 0) return {Extent::no_rule, 0};
        if (1u + width > available) return {Extent::truncated, 0};
        size = 1u + width + uint64_t{get_string_length(p, width)};
    }
    if (size > available) return {Extent::truncated, 0};
    return {Extent::ok, size};
}

} // namespace vok::format
