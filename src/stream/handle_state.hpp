// Which direction a handle is open in.  The record has no direction field, so
// we use an invariant of the format: a stream being written carries zero in
// its length bytes until it is closed, and opening refuses any block whose
// length is below the smallest stream.  Telling the two apart keeps a writer
// from growing or freeing a caller's block, and a reader from moving the
// write offset of a stream under construction.
#pragma once

#include <cstdint>

#include "format/frame.hpp"
#include "vok32.h"

namespace vok::stream {

inline bool is_writable(const vokStream *s) noexcept {
    return s->active != 0 && s->data != nullptr && format::get_total_length(s->data) == 0;
}

inline bool is_readable(const vokStream *s) noexcept {
    return s->active != 0 && s->data != nullptr && format::get_total_length(s->data) != 0;
}

} // namespace vok::stream
