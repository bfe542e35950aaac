// Unsigned, signed and flag items: tag choice by width, encoding and decoding.
// An unsigned item is tag + 1/2/4 value bytes; a signed item is tag +
// 1/2/4 magnitude bytes + a sign byte; a flag is tag + one byte.
#pragma once

#include <cstdint>

#include "big_endian.hpp"
#include "tags.hpp"

namespace vok::format {

inline constexpr uint32_t kMaxUnsignedItemSize = 5;
inline constexpr uint32_t kMaxSignedItemSize = 6;
inline constexpr uint32_t kFlagItemSize = 2;

// Width in bytes (1, 2 or 4) of the narrowest field that holds value.
constexpr unsigned field_width(uint32_t value) noexcept {
    return 1u << ((value > 0xFFu) + (value > 0xFFFFu));
}

// Stores value as a field of the given width; returns the byte after it.
inline uint8_t *put_field(uint8_t *p, uint32_t value, unsigned width) noexcept {
    store_be(p, value, width);
    return p + width;
}

// Tags of a width (1, 2 or 4), looked up rather than chosen by branches.
inline constexpr uint8_t kUnsignedTags[5] = {0, VOK_UNSIGNED_1, VOK_UNSIGNED_2, 0, VOK_UNSIGNED_4};
inline constexpr uint8_t kSignedTags[5] = {0, VOK_SIGNED_1, VOK_SIGNED_2, 0, VOK_SIGNED_4};
constexpr uint8_t unsigned_tag(unsigned width) noexcept { return kUnsignedTags[width]; }
constexpr uint8_t signed_tag(unsigned width) noexcept { return kSignedTags[width]; }

// Width of the value field behind an unsigned tag, or 0 for any other byte.
constexpr unsigned unsigned_width(uint8_t tag) noexcept {
    switch (tag) {
    case VOK_UNSIGNED_1:
        return 1;
    case VOK_UNSIGNED_2:
        return 2;
    case VOK_UNSIGNED_4:
        return 4;
    default:
        return 0;
    }
}

// Width of the magnitude field behind a signed tag, or 0 for any other byte.
constexpr unsigned signed_width(uint8_t tag) noexcept {
    switch (tag) {
    case VOK_SIGNED_1:
        return 1;
    case VOK_SIGNED_2:
        return 2;
    case VOK_SIGNED_4:
        return 4;
    default:
        return 0;
    }
}

// The same widths for a byte already known to be a tag of the kind, from the
// tag values themselves: no table load for a walk to wait for.
constexpr unsigned unsigned_tag_width(uint8_t tag) noexcept {
    return 1u << ((tag - VOK_UNSIGNED_1 + 1) >> 1);
}
constexpr unsigned signed_tag_width(uint8_t tag) noexcept { return 1u << (tag - VOK_SIGNED_1); }
static_assert(unsigned_tag_width(VOK_UNSIGNED_1) == 1 && unsigned_tag_width(VOK_UNSIGNED_2) == 2 &&
              unsigned_tag_width(VOK_UNSIGNED_4) == 4);
static_assert(signed_tag_width(VOK_SIGNED_1) == 1 && signed_tag_width(VOK_SIGNED_2) == 2 &&
              signed_tag_width(VOK_SIGNED_4) == 4);

// The magnitude of a signed value; INT32_MIN has the magnitude 2^31.
constexpr uint32_t magnitude_of(int32_t value) noexcept {
    const uint32_t bits = static_cast<uint32_t>(value);
    return value < 0 ? 0u - bits : bits;
}

// Any non-zero sign byte negates the magnitude (32-bit wrap-around).
// Negates through a mask rather than a branch, which signs in real data would
// mispredict half the time.
constexpr int32_t apply_sign(uint32_t magnitude, uint8_t sign) noexcept {
    const uint32_t mask = 0u - uint32_t{sign != 0};
    return static_cast<int32_t>((magnitude ^ mask) - mask);
}

constexpr uint32_t unsigned_item_size(uint32_t value) noexcept { return 1 + field_width(value); }
constexpr uint32_t signed_item_size(int32_t value) noexcept {
    return 2 + field_width(magnitude_of(value));
}

// Encoders: write the whole item at p and return the byte after it.
inline uint8_t *put_unsigned(uint8_t *p, uint32_t value) noexcept {
    const unsigned width = field_width(value);
    p[0] = unsigned_tag(width);
    return put_field(p + 1, value, width);
}

inline uint8_t *put_signed(uint8_t *p, int32_t value) noexcept {
    const uint32_t magnitude = magnitude_of(value);
    const unsigned width = field_width(magnitude);
    p[0] = signed_tag(width);
    uint8_t *sign = put_field(p + 1, magnitude, width);
    *sign = static_cast<uint8_t>(value < 0);
    return sign + 1;
}

inline uint8_t *put_flag(uint8_t *p, int32_t flag) noexcept {
    p[0] = VOK_FLAG;
    p[1] = static_cast<uint8_t>(flag != 0);
    return p + kFlagItemSize;
}

// Decoders for an item whose tag the caller has matched; they return the
// item's size in bytes.
inline uint32_t get_unsigned(const uint8_t *p, unsigned width, uint32_t *value) noexcept {
    *value = load_be(p + 1, width);
    return 1 + width;
}

inline uint32_t get_signed(const uint8_t *p, unsigned width, int32_t *value) noexcept {
    *value = apply_sign(load_be(p + 1, width), p[1 + width]);
    return 2 + width;
}

// A flag's stored byte, unchanged: readers do not fold it to 0 or 1.
inline uint32_t get_flag(const uint8_t *p, uint32_t *flag) noexcept {
    *flag = p[1];
    return kFlagItemSize;
}

} // namespace vok::format
