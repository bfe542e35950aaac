// The only code in the library written for speed rather than in the plainest
// way.  Each piece stays because the benchmarks in bench/ show it matters;
// the figures are the slow-down measured with the plain form instead (GCC 12,
// -O2, CPU time per run):
//
//   load_be, store_be  width chosen by branches: ints 79-97% slower to encode
//                      and decode, records 14-32%
//   tag tables         tag chosen by branches: ints 80-104% slower to encode,
//                      records 29-37%
//   VOK_FIELD_SIZE     (public header) width chosen by branches: ints 73-81%
//                      slower to encode, records 25-38%
//   apply_sign         sign applied by a branch: records 21-24% slower to decode
//   VOK_OUT_OF_LINE    growth inlined into write_item: ints through a handle
//                      10-13% slower to encode; vok32x's walk keeps its rare
//                      items out of line the same way
//   load_be_wide,      vok32x's walk: one load per field, and widths computed
//   *_tag_width        from the tag (docs/performance.md has its figures)
//
// Why branches cost so much here: which width an item takes (1, 2 or 4
// bytes) and which sign it carries follow the values, so in real data a
// branch on them is mispredicted about as often as it is taken.
#pragma once

// Marks the rare path of a hot function (buffer growth) as a function of its
// own that is never inlined, so that the common path needs no stack frame
// and reaches the rare one by a tail jump.
#define VOK_OUT_OF_LINE [[gnu::noinline]]

#include <cstdint>

#include "big_endian.hpp"
#include "vok32.h"

namespace vok::format {

// Reads a 1-, 2- or 4-byte big-endian field.  Only bytes inside the field
// are read: for narrower widths the unused loads repeat a field byte, and
// the shift drops them.
inline uint32_t load_be(const uint8_t *p, unsigned width) noexcept {
    const unsigned last = width - 1; // 0, 1 or 3
    const uint32_t all = uint32_t{p[0]} << 24 | uint32_t{p[last != 0]} << 16 |
                         uint32_t{p[(last > 1) * 2]} << 8 | uint32_t{p[last]};
    return all >> (32 - 8 * width);
}

// As load_be, for a reader that may read four bytes from p whatever the
// width: one load and a shift instead of a load per byte.
inline uint32_t load_be_wide(const uint8_t *p, unsigned width) noexcept {
    return load_be32(p) >> (32 - 8 * width);
}

namespace detail {
// The field byte if the width needs it, else the scratch slot, chosen with a
// mask rather than a branch.
inline uint8_t *field_or_scratch(bool needed, uint8_t *field_byte, uint8_t *scratch) noexcept {
    const auto field = reinterpret_cast<uintptr_t>(field_byte);
    const auto spare = reinterpret_cast<uintptr_t>(scratch);
    return reinterpret_cast<uint8_t *>(spare ^ ((field ^ spare) & (0 - uintptr_t{needed})));
}
} // namespace detail

// Writes the low `width` (1, 2 or 4) bytes of value big-endian at p.  The
// stores a narrower width does not need go to a scratch slot, so each byte
// of the field is written once and nothing past it is touched.
inline void store_be(uint8_t *p, uint32_t value, unsigned width) noexcept {
    uint8_t scratch[2];
    const bool four = width == 4;
    p[0] = static_cast<uint8_t>(value >> (8 * (width - 1)));
    *detail::field_or_scratch(width >= 2, p + 1, scratch) =
        static_cast<uint8_t>(value >> (four ? 16 : 0));
    store_be16(detail::field_or_scratch(four, p + 2, scratch), static_cast<uint16_t>(value));
}

// Tags of a width (1, 2 or 4), looked up rather than chosen.
inline constexpr uint8_t kUnsignedTags[5] = {0, VOK_UNSIGNED_1, VOK_UNSIGNED_2, 0, VOK_UNSIGNED_4};
inline constexpr uint8_t kSignedTags[5] = {0, VOK_SIGNED_1, VOK_SIGNED_2, 0, VOK_SIGNED_4};
constexpr uint8_t unsigned_tag(unsigned width) noexcept { return kUnsignedTags[width]; }
constexpr uint8_t signed_tag(unsigned width) noexcept { return kSignedTags[width]; }

// Widths for a byte already known to be an unsigned or a signed tag, from
// the tag values themselves: no table load for a walk to wait for.
constexpr unsigned unsigned_tag_width(uint8_t tag) noexcept {
    return 1u << ((tag - VOK_UNSIGNED_1 + 1) >> 1);
}
constexpr unsigned signed_tag_width(uint8_t tag) noexcept { return 1u << (tag - VOK_SIGNED_1); }
static_assert(unsigned_tag_width(VOK_UNSIGNED_1) == 1 && unsigned_tag_width(VOK_UNSIGNED_2) == 2 &&
              unsigned_tag_width(VOK_UNSIGNED_4) == 4);
static_assert(signed_tag_width(VOK_SIGNED_1) == 1 && signed_tag_width(VOK_SIGNED_2) == 2 &&
              signed_tag_width(VOK_SIGNED_4) == 4);

// Any non-zero sign byte negates the magnitude (32-bit wrap-around), through
// a mask.
constexpr int32_t apply_sign(uint32_t magnitude, uint8_t sign) noexcept {
    const uint32_t mask = 0u - uint32_t{sign != 0};
    return static_cast<int32_t>((magnitude ^ mask) - mask);
}

} // namespace vok::format
