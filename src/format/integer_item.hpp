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
// Three stores cover every width without a branch and without touching a
// byte past the field: the first two bytes of a 4-byte field (for narrower
// fields zeros, at the tag, that the later stores overwrite), the field's
// last two bytes (for a 1-byte field, the tag's slot and the byte), then the
// tag.  (Bytes stored one by one, with the unneeded stores sent to a scratch
// slot, took twice the instructions: ints 8-12% slower to encode.)
inline uint8_t *put_tag_and_field(uint8_t *p, uint8_t tag, uint32_t value,
                                  unsigned width) noexcept {
    store_be16(p + (width >> 2), static_cast<uint16_t>(value >> 16));
    store_be16(p + width - 1, static_cast<uint16_t>(value));
    p[0] = tag;
    return p + 1 + width;
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
constexpr uint32_t magnitude_of(int32_t value) noexcept {
    const uint32_t bits = static_cast<uint32_t>(value);
    return value < 0 ? 0u - bits : bits;
}

// Any non-zero sign byte negates the magnitude (32-bit wrap-around), through
// a mask (a branch on the sign: records 21-24% slower to decode).
constexpr int32_t apply_sign(uint32_t magnitude, uint8_t sign) noexcept {
    const uint32_t mask = 0u - uint32_t{sign != 0};
    return static_cast<int32_t>((magnitude ^ mask) - mask);
}

constexpr uint32_t unsigned_item_size(uint32_t value) noexcept {
    return head_size(Form::number, field_width(value));
}
constexpr uint32_t signed_item_size(int32_t value) noexcept {
    return head_size(Form::signed_number, field_width(magnitude_of(value)));
}

// Encoders: write the whole item at p and return the byte after it.
inline uint8_t *put_unsigned(uint8_t *p, uint32_t value) noexcept {
    const unsigned width = field_width(value);
    return put_tag_and_field(p, unsigned_tag(width), value, width);
}

inline uint8_t *put_signed(uint8_t *p, int32_t value) noexcept {
    const uint32_t magnitude = magnitude_of(value);
    const unsigned width = field_width(magnitude);
    uint8_t *sign = put_tag_and_field(p, signed_tag(width), magnitude, width);
    *sign = static_cast<uint8_t>(value < 0);
    return sign + 1;
}

inline uint8_t *put_flag(uint8_t *p, int32_t flag) noexcept {
    p[0] = VOK_FLAG;
    p[1] = static_cast<uint8_t>(flag != 0);
    return p + kFlagItemSize;
}

inline uint8_t *put_phrase_mark(uint8_t *p, uint8_t phrase) noexcept {
    p[0] = VOK_PHRASE_MARK;
    p[1] = phrase;
    return p + kPhraseItemSize;
}

inline uint8_t *put_user_mark(uint8_t *p, uint8_t mark) noexcept {
    p[0] = mark;
    return p + kUserMarkSize;
}

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
