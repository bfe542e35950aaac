// Which direction a handle is open in.  The record has no direction field, so
// we use an invariant of the format: a stream being written carries zero in
// its length bytes until it is closed, and opening refuses any block whose
// length is below the smallest stream.  Telling the two apart keeps a writer
// from growing or freeing a caller's block, and a reader from moving the
// write offset of a stream under construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame.hpp"
#include "vok32.h"

// Callers compiled elsewhere allocate the record, so its layout is frozen.
static_assert(std::is_standard_layout_v<vokStream>);
static_assert(std::is_same_v<decltype(vokStream::data), uint8_t *>);
static_assert(std::is_same_v<decltype(vokStream::capacity), uint32_t>);
static_assert(std::is_same_v<decltype(vokStream::position), uint32_t>);
static_assert(std::is_same_v<decltype(vokStream::active), uint32_t>);
static_assert(offsetof(vokStream, data) == 0);
static_assert(offsetof(vokStream, capacity) == sizeof(uint8_t *));
static_assert(offsetof(vokStream, position) == sizeof(uint8_t *) + 4);
static_assert(offsetof(vokStream, active) == sizeof(uint8_t *) + 8);
// 24 bytes where pointers have 8 (the ABI that ships), 16 where they have 4.
static_assert(sizeof(vokStream) == (sizeof(uint8_t *) == 8 ? 24 : 16));

namespace vok::stream {

inline bool is_writable(const vokStream *s) noexcept {
    return s->active != 0 && s->data != nullptr && format::get_total_length(s->data) == 0;
}

inline bool is_readable(const vokStream *s) noexcept {
    return s->active != 0 && s->data != nullptr && format::get_total_length(s->data) != 0;
}

} // namespace vok::stream
