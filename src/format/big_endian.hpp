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

#include <bit>
#include <cstdint>
#include <cstring>

namespace vok::format {

namespace detail {
template <typename T> inline T to_big_endian(T value) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        if constexpr (sizeof(T) == 2) return static_cast<T>(__builtin_bswap16(value));
        if constexpr (sizeof(T) == 4) return static_cast<T>(__builtin_bswap32(value));
        if constexpr (sizeof(T) == 8) return static_cast<T>(__builtin_bswap64(value));
    }
    return value;
}
} // namespace detail

inline uint32_t load_be32(const uint8_t *p) noexcept {
    uint32_t raw;
    std::memcpy(&raw, p, sizeof raw);
    return detail::to_big_endian(raw);
}

// The 8-byte numbers that 64-bit and floating record fields keep in a
// plain string.
inline uint64_t load_be64(const uint8_t *p) noexcept {
    uint64_t raw;
    std::memcpy(&raw, p, sizeof raw);
    return detail::to_big_endian(raw);
}

inline void store_be64(uint8_t *p, uint64_t value) noexcept {
    const uint64_t raw = detail::to_big_endian(value);
    std::memcpy(p, &raw, sizeof raw);
}

inline void store_be16(uint8_t *p, uint16_t value) noexcept {
    const uint16_t raw = detail::to_big_endian(value);
    std::memcpy(p, &raw, sizeof raw);
}

inline void store_be32(uint8_t *p, uint32_t value) noexcept {
    const uint32_t raw = detail::to_big_endian(value);
    std::memcpy(p, &raw, sizeof raw);
}

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
// width: one load and a shift instead of a load per byte (vokxNextItem's
// walk, docs/performance.md).
inline uint32_t load_be_wide(const uint8_t *p, unsigned width) noexcept {
    return load_be32(p) >> (32 - 8 * width);
}

} // namespace vok::format
