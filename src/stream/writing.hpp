// The frame every writer runs in: make room, encode at position, advance.
// Callers check first that the handle is open for writing (is_writable).
#pragma once

#include <cstdint>

#include "growth.hpp"
#include "handle_state.hpp"
#include "rare_path.hpp"
#include "string_item.hpp"

namespace vok::stream {

// Encodes at position and advances past the item; room is already made.
// Always inlined: left to itself the compiler made a call of it for strings
// and signed values.
template <typename Encode>
[[gnu::always_inline]] inline uint16_t put_item(vokStream *s, Encode encode) noexcept {
    uint8_t *at = s->data + s->position;
    s->position += static_cast<uint32_t>(encode(at) - at);
    return VOK_OK;
}

// The rare path of write_item.
template <typename Encode>
VOK_OUT_OF_LINE uint16_t grow_and_put_item(vokStream *s, uint64_t need, Encode encode) noexcept {
    if (const uint16_t status = grow(s, need)) return status;
    return put_item(s, encode);
}

// Runs encode(uint8_t *at) -> uint8_t *end after reserving `need` bytes.
template <typename Encode>
uint16_t write_item(vokStream *s, uint64_t need, Encode encode) noexcept {
    if (!fits(s, need)) return grow_and_put_item(s, need, encode);
    return put_item(s, encode);
}

// Appends a string item: VOK_STRING_TOO_LONG if the kind cannot hold the
// length, VOK_NO_MEMORY if growth fails, else VOK_OK.  A safe string's
// content is never stored; content is not read for it.
uint16_t write_string_item(vokStream *s, format::StringKind kind, const uint8_t *content,
                           uint64_t length) noexcept;

} // namespace vok::stream
