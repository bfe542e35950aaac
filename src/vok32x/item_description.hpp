// Describes the item at the start of a run of bytes without reading past
// them: shared by walking (the run ends before a block's end marker) and by
// raw writing (the run is exactly the caller's item).
#pragma once

#include <cstdint>

#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "format/tags.hpp"
#include "vok32x.h"

namespace vok::x {

namespace fmt = vok::format;

// Size of the string item at p if its length field and content lie within
// `available` bytes, else 0.  Fills text and length, or value for a safe
// string, whose content is never stored.
inline uint64_t describe_string(const uint8_t *p, uint64_t available, vokxItem *out) noexcept {
    const unsigned width = fmt::length_width(p[0]);
    if (1u + width > available) return 0;
    const uint32_t length = fmt::get_string_length(p, width);
    if (fmt::is_safe_tag(p[0])) {
        out->value = length;
        return 1u + width;
    }
    const uint64_t size = 1u + width + uint64_t{length};
    if (size > available) return 0;
    out->text = p + 1 + width;
    out->length = length;
    return size;
}

// Size of the item at p (p[0] may be read; nothing at or past p + available
// is), or 0 for a truncated item, the start or end marker, an unassigned tag
// -- 225 included, which no writer puts at the start of an item -- or a byte
// past the last tag.  *out is cleared first and filled for a whole item, but
// for its offset.
inline uint64_t describe_item(const uint8_t *p, uint64_t available, vokxItem *out) noexcept {
    *out = vokxItem{};
    const uint8_t tag = p[0];
    uint64_t size = 0;
    if (fmt::is_user_mark(tag)) {
        out->kind = VOK_USER_MARK;
        out->value = tag;
        size = 1;
    } else if (const unsigned w = fmt::unsigned_width(tag)) {
        size = 1u + w;
        if (size > available) return 0;
        fmt::get_unsigned(p, w, &out->value);
    } else if (const unsigned sw = fmt::signed_width(tag)) {
        size = 2u + sw;
        if (size > available) return 0;
        fmt::get_signed(p, sw, &out->signed_value);
    } else if (tag == VOK_FLAG || tag == VOK_PHRASE_MARK) {
        size = 2;
        if (size > available) return 0;
        out->value = p[1];
    } else if (fmt::is_string_tag(tag)) {
        size = describe_string(p, available, out);
    }
    if (size == 0 || size > available) {
        *out = vokxItem{};
        return 0;
    }
    if (tag >= fmt::kFirstTag) out->kind = tag;
    out->size = static_cast<uint32_t>(size);
    return size;
}

} // namespace vok::x
