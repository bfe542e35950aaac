// Appending items as vokxItem describes them, several in one append: what
// vokxPutItem does for one item, and the records writer for a field's mark
// and value together (one vokAppendStream instead of two).
#pragma once

#include <cstddef>

#include "vok32x.h"

namespace vok::x {

// Appends count described items, all or none; vokxPutItem's refusals.
uint16_t put_items(vokStream *stream, const vokxItem *items, size_t count);

} // namespace vok::x
