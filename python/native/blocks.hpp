// Framing: a block's header (inspect), the blocks of bytes or a file
// (blocks), and blocks that arrive in pieces (Feeder).
#pragma once

#include "shared.hpp"

namespace vokpy {

// Immutable bytes of a bytes-like argument (copied unless bytes), or
// TypeError in the package's words.
py::bytes block_bytes(py::handle data);
// The frame at the start of bytes, or the package's VokError: NEED_MORE with
// `needed` once the length field is there, INVALID_STREAM.
vokxBlockInfo inspect_or_raise(const uint8_t *bytes, size_t size);

void bind_blocks(py::module_ &module);

} // namespace vokpy
