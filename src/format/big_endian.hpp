// Big-endian loads and stores of fixed size.  With the width-driven field
// access of performance.hpp, every multi-byte number in a stream (length
// prefix, length fields, integer values and magnitudes) goes through here.
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
    }
    return value;
}
} // namespace detail

inline uint32_t load_be32(const uint8_t *p) noexcept {
    uint32_t raw;
    std::memcpy(&raw, p, sizeof raw);
    return detail::to_big_endian(raw);
}

inline void store_be16(uint8_t *p, uint16_t value) noexcept {
    const uint16_t raw = detail::to_big_endian(value);
    std::memcpy(p, &raw, sizeof raw);
}

inline void store_be32(uint8_t *p, uint32_t value) noexcept {
    const uint32_t raw = detail::to_big_endian(value);
    std::memcpy(p, &raw, sizeof raw);
}

} // namespace vok::format
