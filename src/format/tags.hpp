// Classification of the first byte of an item.  The numeric values of the
// tags are the public constants of vok32.h.
#pragma once

#include <cstdint>

#include "vok32.h"

namespace vok::format {

inline constexpr uint8_t kFirstTag = VOK_START; // bytes below are user marks
inline constexpr uint8_t kLastTag = VOK_UTF8_4; // bytes above are never tags

constexpr bool is_user_mark(uint8_t byte) noexcept { return byte < kFirstTag; }

constexpr bool is_utf8_tag(uint8_t t) noexcept {
    return t == VOK_UTF8_1 || t == VOK_UTF8_2 || t == VOK_UTF8_4;
}

constexpr bool is_safe_tag(uint8_t t) noexcept { return t == VOK_SAFE_1 || t == VOK_SAFE_2; }

// The type code that peeking reports for a byte: the tag itself, user marks
// folded into VOK_USER_MARK, bytes past the last tag into VOK_INVALID.
constexpr uint8_t type_code(uint8_t byte) noexcept {
    if (byte < kFirstTag) return VOK_USER_MARK;
    if (byte > kLastTag) return VOK_INVALID;
    return byte;
}

} // namespace vok::format
