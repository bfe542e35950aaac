// Items that the library's writers never produce but that a well-formed
// stream from another producer may hold: numbers and lengths in a wider
// field than needed, flag bytes other than 0 and 1, sign bytes that do not
// follow the value's sign, strings holding a zero byte, a header version in
// a wider form.  `vok pack` writes them here, into a stream the library
// opened for writing, so that a listing packs back to the very same bytes.
// This is the tool's only code that writes bytes of the format itself.
#pragma once

#include <cstdint>

#include "item.hpp"
#include "vok32.h"

namespace vok::tool {

// Appends the item at the stream's position, growing its buffer the way the
// writers do.  Returns VOK_OK, VOK_NOT_ACTIVE or VOK_NO_MEMORY.
uint16_t append_noncanonical(vokStream *stream, const Item &item);

// Replaces the version item of a freshly created stream (no body items yet)
// by the same version in a field of the given width.
uint16_t rewrite_version(vokStream *stream, uint32_t version, unsigned width);

} // namespace vok::tool
