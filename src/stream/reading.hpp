// Bounds of an opened stream.  Readers never touch a byte at or past the
// block's total length, and an item counts as well-formed only if it ends
// before the end marker.
#pragma once

#include <cstdint>

#include "frame.hpp"
#include "handle_state.hpp"
#include "item_extent.hpp"

namespace vok::stream {

struct ReadWindow {
    const uint8_t *data;
    uint32_t total; // total length from the block's own length field

    bool has_byte(uint32_t pos) const noexcept { return pos < total; }

    // Bytes from pos up to, not including, the end marker.
    uint64_t body_left(uint32_t pos) const noexcept {
        return uint64_t{pos} + 1 < total ? uint64_t{total} - 1 - pos : 0;
    }

    // Whether an item of `size` bytes at pos ends before the end marker.
    bool holds(uint32_t pos, uint32_t size) const noexcept { return size <= body_left(pos); }

    // The item at pos; its kind is ok only if it is well-formed and ends
    // before the end marker.  pos must hold a byte.
    format::ItemExtent extent(uint32_t pos) const noexcept {
        return format::item_extent(data + pos, body_left(pos));
    }
};

inline ReadWindow window_of(const vokStream *s) noexcept {
    return {s->data, format::get_total_length(s->data)};
}

// Common entry of the value readers: VOK_OK with the window and the tag at
// position, VOK_NOT_ACTIVE for a handle not open for reading, and
// VOK_INVALID_STREAM when position has left the block.
inline uint16_t begin_read(const vokStream *s, ReadWindow *w, uint8_t *tag) noexcept {
    // The readability test and the window share one load of the length field.
    if (s->active == 0 || s->data == nullptr) return VOK_NOT_ACTIVE;
    *w = window_of(s);
    if (w->total == 0) return VOK_NOT_ACTIVE;
    if (!w->has_byte(s->position)) return VOK_INVALID_STREAM;
    *tag = w->data[s->position];
    return VOK_OK;
}

// A string item at position, its head decoded once.
struct StringAt {
    uint8_t tag;
    uint32_t head;   // tag and length field
    uint32_t length; // the length field
    const uint8_t *content;
};

// Common entry of the readers that take a string whose tag `Accepts`:
// begin_read's refusals, VOK_WRONG_TYPE with the tag consumed for another
// item, VOK_INVALID_STREAM for a string that does not end before the end
// marker (position left on it).
template <auto Accepts> uint16_t begin_string_read(vokStream *s, StringAt *item) noexcept {
    ReadWindow w{};
    uint8_t tag = 0;
    if (const uint16_t status = begin_read(s, &w, &tag)) return status;
    if (!Accepts(tag)) {
        ++s->position;
        return VOK_WRONG_TYPE;
    }
    const format::ItemExtent e = w.extent(s->position);
    if (e.kind != format::Extent::ok) return VOK_INVALID_STREAM;
    *item = {tag, e.head, e.length, w.data + s->position + e.head};
    return VOK_OK;
}

} // namespace vok::stream
