// Describes the item at the start of a run of bytes without reading past
// them: shared by walking (the run ends before a block's end marker) and by
// raw writing (the run is exactly the caller's item).  The first byte is
// classified by one look-up in the format's table of shapes, and the
// description is stored once.
#pragma once

#include <array>
#include <cstdint>

#include "integer_item.hpp"
#include "string_item.hpp"
#include "tags.hpp"
#include "vok32x.h"

namespace vok::x {

namespace fmt = vok::format;

using fmt::Form;
using fmt::kShapes;
using fmt::Shape;

// Size of the item at p (p[0] may be read; nothing at or past p + available
// is), or 0 for a truncated item or a byte that starts no item.  A whole
// item is described in *out, but for its offset; otherwise *out is cleared.
inline uint64_t describe_item(const uint8_t *p, uint64_t available, vokxItem *out) noexcept {
    const uint8_t tag = p[0];
    const Shape shape = kShapes[tag];
    const unsigned w = shape.width;
    vokxItem d{fmt::is_user_mark(tag) ? uint8_t{VOK_USER_MARK} : tag, 0, 0, 0, 0, nullptr, 0};
    uint64_t size = fmt::head_size(shape); // all of it but a string's content
    switch (size > available ? Form::none : shape.form) {
    case Form::mark:
        d.value = tag;
        break;
    case Form::number:
    case Form::safe:
        d.value = fmt::load_be(p + 1, w);
        break;
    case Form::byte:
        d.value = p[1];
        break;
    case Form::signed_number:
        d.signed_value = fmt::apply_sign(fmt::load_be(p + 1, w), p[1 + w]);
        break;
    case Form::text:
        d.length = fmt::load_be(p + 1, w);
        d.text = p + size;
        size += d.length;
        if (size > available) size = 0;
        break;
    case Form::none:
        size = 0;
        break;
    }
    if (size == 0) d = vokxItem{};
    d.size = static_cast<uint32_t>(size);
    *out = d;
    return size;
}

} // namespace vok::x
