// The tags of the format as the tool's item kinds, as vok32x classifies
// them (vokxKindClass, vokxFieldWidth): the tool keeps no table of tags,
// widths or sizes of its own.
#pragma once

#include <cstdint>

#include "item.hpp"

namespace vok::tool {

// The kind of an assigned item tag, and false for anything else (the start
// and end markers, user marks, unassigned bytes).
bool kind_of_tag(uint8_t tag, ItemKind &kind) noexcept;

// The tag that writes kind with a field of width bytes, or 0 if none does.
uint8_t tag_for(ItemKind kind, unsigned width) noexcept;

// The kind in a word, for messages: "unsigned item runs past ...".
const char *kind_word(ItemKind kind) noexcept;

// Offsets in a block's header, for messages.
inline constexpr uint32_t kStartOffset = 4;   // after the length field
inline constexpr uint32_t kTypeOffset = 5;    // after the start marker
inline constexpr uint32_t kVersionOffset = 6; // after the type byte

} // namespace vok::tool
