// Big-endian loads and stores of fixed size, and loads of the 1-, 2- or
// 4-byte fields of items, whose width follows the values.  Every multi-byte
// number in a stream (length prefix, length fields, integer values and
// magnitudes) goes through here; fields are written with these stores by
// put_tag_and_field (integer_item.hpp).
//
// The field access is written for speed rather than in the plainest way: in
// real data which width a field takes is mispredicted about as often as it
// is taken, so the width is never chosen by a branch.  With branches instead
// (GCC 12, -O2, CPU time per run) ints were 79-97% slower to encode and
// decode and records 14-32%.
#pragma once

#include <cstdint>

#include "vok32_items.h"

namespace vok::format {

// The loads and stores themselves are the public inline ones, which code
// generated from schemas uses too.
inline uint32_t load_be32(const uint8_t *p) noexcept { return vok_load_be32(p); }

// The 8-byte numbers that 64-bit and floating record fields keep in a
// plain string.
inline uint64_t load_be64(const uint8_t *p) noexcept { return vok_load_be64(p); }
inline void store_be64(uint8_t *p, uint64_t value) noexcept { vok_store_be64(p, value); }
inline void store_be16(uint8_t *p, uint16_t value) noexcept { vok_store_be16(p, value); }
inline void store_be32(uint8_t *p, uint32_t value) noexcept { vok_store_be32(p, value); }

// Reads a 1-, 2- or 4-byte big-endian field.
inline uint32_t load_be(const uint8_t *p, unsigned width) noexcept {
    return vok_load_field(p, width);
}

// As load_be, for a reader that may read four bytes from p whatever the
// width: one load and a shift instead of a load per byte (vokxNextItem's
// walk, docs/performance.md).
inline uint32_t load_be_wide(const uint8_t *p, unsigned width) noexcept {
    return load_be32(p) >> (32 - 8 * width);
}

} // namespace vok::format
