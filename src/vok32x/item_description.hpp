// Describes the item at the start of a run of bytes without reading past
// them: shared by walking (the run ends before a block's end marker) and by
// raw writing (the run is exactly the caller's item).  Walking is the fast
// way to read a block, so the first byte is classified by one table look-up
// and the description is stored once.
#pragma once

#include <array>
#include <cstdint>

#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "format/tags.hpp"
#include "vok32x.h"

namespace vok::x {

namespace fmt = vok::format;

// What follows the first byte of an item.
enum class Form : uint8_t { none, mark, number, signed_number, byte, text, safe };

struct Shape {
    Form form;
    uint8_t width; // of the value, magnitude or length field
};

// No form for the start and end markers, the unassigned tags -- 225 among
// them, which no writer puts at the start of an item -- and bytes past the
// last tag.
constexpr Shape shape_of(uint8_t b) noexcept {
    if (fmt::is_user_mark(b)) return {Form::mark, 0};
    if (const unsigned w = fmt::unsigned_width(b)) return {Form::number, uint8_t(w)};
    if (const unsigned w = fmt::signed_width(b)) return {Form::signed_number, uint8_t(w)};
    if (b == VOK_FLAG || b == VOK_PHRASE_MARK) return {Form::byte, 1};
    const auto w = uint8_t(fmt::length_width(b));
    if (fmt::is_safe_tag(b)) return {Form::safe, w};
    if (w != 0) return {Form::text, w};
    return {Form::none, 0};
}

inline constexpr auto kShapes = [] {
    std::array<Shape, 256> shapes{};
    for (unsigned b = 0; b < 256; ++b)
        shapes[b] = shape_of(uint8_t(b));
    return shapes;
}();

// Size of the item at p (p[0] may be read; nothing at or past p + available
// is), or 0 for a truncated item or a byte that starts no item.  A whole
// item is described in *out, but for its offset; otherwise *out is cleared.
inline uint64_t describe_item(const uint8_t *p, uint64_t available, vokxItem *out) noexcept {
    const uint8_t tag = p[0];
    const Shape shape = kShapes[tag];
    const unsigned w = shape.width;
    vokxItem d{fmt::is_user_mark(tag) ? uint8_t{VOK_USER_MARK} : tag, 0, 0, 0, 0, nullptr, 0};
    uint64_t size = 1u + w; // the tag and the field after it, where there is one
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
        size = 2u + w;
        if (size > available)
            size = 0;
        else
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
