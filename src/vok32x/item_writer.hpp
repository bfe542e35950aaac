// Appending items as vokxItem describes them, several in one append: what
// vokxPutItem does for one item, and the records writer for a field's mark
// and value together (one vokAppendStream instead of two).
#pragma once

#include <cstddef>
#include <cstdint>

#include "vok32x.h"

namespace vok::x {

// Items reach a stream as the body of a small closed block, a carrier, which
// vokAppendStream copies: that keeps vok32x out of the handle's buffer, whose
// growth stays vok32's.  The carrier's header is its length field, start
// marker, type 0 and version 0; one byte after the body is its end marker.
inline constexpr uint32_t kCarrierHeader = 8;

// Frames the body_size bytes at carrier + kCarrierHeader and appends them.
uint16_t append_carrier(vokStream *stream, uint8_t *carrier, uint32_t body_size);

// Appends count described items, all or none; vokxPutItem's refusals.
uint16_t put_items(vokStream *stream, const vokxItem *items, size_t count);

} // namespace vok::x
