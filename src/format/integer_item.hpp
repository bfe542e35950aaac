// Unsigned, signed and flag items: tag choice by width, encoding and decoding.
// An unsigned item is tag + 1/2/4 value bytes; a signed item is tag +
// 1/2/4 magnitude bytes + a sign byte; a flag is tag + one byte.
#pragma once

#include <cstdint>

#include "big_endian.hpp"
#include "tags.hpp"

namespace vok::format {

inline constexpr uint32_t kMaxUnsignedItemSize = head_size(Form::number, 4);
inline constexpr uint32_t kMaxSignedItemSize = head_size(Form::signed_number, 4);
inline constexpr uint32_t kFlagItemSize = head_size(Form::byte, 1);
inline constexpr uint32_t kPhraseItemSize = head_size(Form::byte, 1);
inline constexpr uint32_t kUserMarkSize = head_size(Form::mark, 0);

// Width in bytes (1, 2 or 4) of the narrowest field that holds value, by
// VOK_FIELD_SIZE of the public header, which computes it without branches
// (chosen by branches: ints 73-81% slower to encode, records 25-38%).
constexpr unsigned field_width(uint32_t value) noexcept { return VOK_FIELD_SIZE(value); }

// Writes a tag and, big-endian behind it, value as a field of the given
// width (1, 2 or 4; value must fit), and returns the byte after the field.
inline uint8_t *put_tag_and_field(uint8_t *p, uint8_t tag, uint32_t value,
                                  unsigned width) noexcept {
    return vok_put_tag_and_field(p, tag, value, width);
}

namespace detail {
inline constexpr WidthByTag kUnsignedWidths = widths_of(Form::number);
inline constexpr WidthByTag kSignedWidths = widths_of(Form::signed_number);
} // namespace detail

// Width of the value field behind an unsigned tag, or 0 for any other byte:
// one load from a table indexed by the byte (a test and a computation here
// made integer decoding twice as slow).
constexpr unsigned unsigned_width(uint8_t tag) noexcept {
    return detail::kUnsignedWidths.width[tag];
}

// Width of the magnitude field behind a signed tag, or 0 for any other byte.
constexpr unsigned signed_width(uint8_t tag) noexcept { return detail::kSignedWidths.width[tag]; }

// The magnitude of a signed value; INT32_MIN has the magnitude 2^31.
inline uint32_t magnitude_of(int32_t value) noexcept { return vok_magnitude(value); }

// Any non-zero sign byte negates the magnitude (32-bit wrap-around), through
// a mask (a branch on the sign: records 21-24% slower to decode).
inline int32_t apply_sign(uint32_t magnitude, uint8_t sign) noexcept {
    return vok_apply_sign(magnitude, sign);
}

inline uint32_t unsigned_item_size(uint32_t value) noexcept { return vok_unsigned_size(value); }
inline uint32_t signed_item_size(int32_t value) noexcept { return vok_signed_size(value); }

// Encoders: write the whole item at p and return the byte after it.
inline uint8_t *put_unsigned(uint8_t *p, uint32_t value) noexcept {
    return vok_put_unsigned(p, value);
}
inline uint8_t *put_signed(uint8_t *p, int32_t value) noexcept { return vok_put_signed(p, value); }
inline uint8_t *put_flag(uint8_t *p, int32_t flag) noexcept { return vok_put_flag(p, flag); }
inline uint8_t *put_phrase_mark(uint8_t *p, uint8_t phrase) noexcept {
    return vok_put_phrase(p, phrase);
}
inline uint8_t *put_user_mark(uint8_t *p, uint8_t mark) noexcept { return vok_put_mark(p, mark); }

// Decoders for an item whose tag the caller has matched; they return the
// item's size in bytes.
inline uint32_t get_unsigned(const uint8_t *p, unsigned width, uint32_t *value) noexcept {
    *value = load_be(p + 1, width);
    return head_size(Form::number, width);
}

inline uint32_t get_signed(const uint8_t *p, unsigned width, int32_t *value) noexcept {
    *value = apply_sign(load_be(p + 1, width), p[1 + width]);
    return head_size(Form::signed_number, width);
}

// A flag's stored byte, unchanged: readers do not fold it to 0 or 1.
inline uint32_t get_flag(const uint8_t *p, uint32_t *flag) noexcept {
    *flag = p[1];
    return kFlagItemSize;
}

} // namespace vok::format
