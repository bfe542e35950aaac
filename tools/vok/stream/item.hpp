// One entry of a stream as the tool sees it: the header, a body item or the
// end marker, with the stored fields exactly as they are in the bytes (widths
// and sign bytes included), so that a non-canonical item survives a round
// trip through the text notation.
#pragma once

#include <cstdint>
#include <string_view>

#include "vok32x.h"

namespace vok::tool {

enum class ItemKind : uint8_t {
    header,
    user_mark,
    phrase_mark,
    flag,
    unsigned_int,
    signed_int,
    plain_string,
    utf8_string,
    safe_string,
    end,
};

struct Item {
    ItemKind kind = ItemKind::end;
    // Width in bytes (1, 2 or 4) of the stored number or length field; 0 in
    // parsed notation means "the narrowest", which is what the writers use.
    unsigned width = 0;
    // Mark, phrase identifier, flag byte, unsigned value, signed magnitude,
    // string length or header version.
    uint32_t number = 0;
    // Signed items: the stored sign byte.  Header: the stream type.
    uint8_t extra = 0;
    // Plain and UTF-8 strings: the content (a view; the owner outlives it).
    std::string_view text;
};

// Narrowest width (1, 2 or 4 bytes) of a field holding value, as the
// writers choose it.
inline unsigned narrowest_width(uint32_t value) noexcept { return vokxUnsignedSize(value) - 1; }

inline unsigned effective_width(const Item &item) noexcept {
    return item.width != 0 ? item.width : narrowest_width(item.number);
}

// The value a reader gets from a signed item (any non-zero sign negates).
int32_t signed_reading(const Item &item) noexcept;

} // namespace vok::tool
