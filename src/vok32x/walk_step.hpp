// One step of a walk: the item at a reading handle's position described in
// place, and the position moved past it.  Bounds come from the block's own
// length field, which vokxOpen has checked against the caller's size; an
// item must end before the end marker.
//
// This is the fast way to read a block, and a walk is one long chain of
// dependent steps (position, tag, size, next position), so the common items
// are taken on a path where the branch on the tag, which follows the record
// layout and predicts well, leaves little for the chain to wait for.  That
// path stays in one function: moving the switch into a helper that reports
// the size cost a fifth of the walk's speed on the records benchmark.  It is
// inlined into vokxNextItem and into the records engine's reader, which then
// uses the description from registers instead of loading it back.
#pragma once

#include "frame.hpp"
#include "item_description.hpp"
#include "rare_path.hpp"
#include "vok32x.h"

namespace vok::x {

// Items other than numbers, flags, marks and short strings (out of line).
uint16_t walk_other(vokStream *stream, vokxItem *item, uint32_t available);

namespace walk_detail {

// A field of 1, 2 or 4 bytes at p, loaded at once when four bytes from p lie
// within the block (the end marker counts: it is read, never passed).
inline uint32_t field(const uint8_t *p, unsigned width, uint32_t readable) {
    return readable >= 4 ? format::load_be_wide(p, width) : format::load_be(p, width);
}

inline uint16_t refuse(vokxItem *item, uint16_t status) {
    *item = vokxItem{};
    return status;
}

// Whether the handle is open for reading with position inside its block; if
// so, how many bytes lie between position and the end marker.
[[gnu::always_inline]] inline uint16_t locate(const vokStream *stream, uint32_t *available) {
    const uint8_t *data = stream->data;
    // A stream being written has zero length bytes; one opened never has.
    if (stream->active == 0 || data == nullptr) return VOK_NOT_ACTIVE;
    const uint32_t total = format::get_total_length(data);
    if (total == 0) return VOK_NOT_ACTIVE;
    if (stream->position >= total) return VOK_INVALID_STREAM;
    *available = total - 1 - stream->position;
    return VOK_OK;
}

} // namespace walk_detail

// vokxNextItem for a non-null item.
[[gnu::always_inline]] inline uint16_t walk_step(vokStream *stream, vokxItem *item) {
    using namespace walk_detail;
    using format::Form;
    uint32_t available = 0; // bytes from position up to the end marker
    if (const uint16_t status = locate(stream, &available)) return refuse(item, status);
    const uint32_t position = stream->position;
    const uint8_t *p = stream->data + position;
    const uint8_t tag = *p;
    uint32_t size;
    vokxItem d{tag, position, 0, 0, 0, nullptr, 0};
    switch (tag) {
    case VOK_UNSIGNED_1:
    case VOK_UNSIGNED_2:
    case VOK_UNSIGNED_4: {
        const unsigned width = format::unsigned_tag_width(tag);
        size = format::head_size(Form::number, width);
        if (size > available) return refuse(item, VOK_INVALID_STREAM);
        d.value = field(p + 1, width, available);
        break;
    }
    case VOK_SIGNED_1:
    case VOK_SIGNED_2:
    case VOK_SIGNED_4: {
        const unsigned width = format::signed_tag_width(tag);
        size = format::head_size(Form::signed_number, width);
        if (size > available) return refuse(item, VOK_INVALID_STREAM);
        d.signed_value = format::apply_sign(field(p + 1, width, available), p[1 + width]);
        break;
    }
    case VOK_FLAG:
    case VOK_PHRASE_MARK:
        if ((size = format::head_size(Form::byte, 1)) > available)
            return refuse(item, VOK_INVALID_STREAM);
        d.value = p[1];
        break;
    case VOK_STRING_1:
    case VOK_UTF8_1: {
        constexpr uint32_t head = format::head_size(Form::text, 1);
        if (available < head || p[1] > available - head) return refuse(item, VOK_INVALID_STREAM);
        d.length = p[1];
        d.text = p + head;
        size = head + d.length;
        break;
    }
    default:
        if (!format::is_user_mark(tag)) return walk_other(stream, item, available);
        d.kind = VOK_USER_MARK;
        d.value = tag;
        size = format::head_size(Form::mark, 0);
        if (size > available) return refuse(item, VOK_INVALID_STREAM);
    }
    d.size = size;
    *item = d;
    stream->position = position + size;
    return VOK_OK;
}

} // namespace vok::x
