// The tags of the format as the tool's item kinds: which kind and field
// width each tag stands for, and which tag writes a kind at a width.
#pragma once

#include <cstdint>

#include "item.hpp"

namespace vok::tool {

struct TagInfo {
    uint8_t tag;
    ItemKind kind;
    unsigned width;   // of the number or length field; 1 for flag and phrase mark
    const char *name; // for messages: "unsigned item runs past ..."
};

// The entry of an assigned item tag (not the start or end marker, not a
// user mark), or null.
const TagInfo *tag_info(uint8_t tag) noexcept;

// The tag that writes kind with a field of width bytes, or 0 if none does.
uint8_t tag_for(ItemKind kind, unsigned width) noexcept;

// Offsets in a block's header, for messages and for building one.
inline constexpr uint32_t kStartOffset = 4;   // after the length field
inline constexpr uint32_t kTypeOffset = 5;    // after the start marker
inline constexpr uint32_t kVersionOffset = 6; // after the type byte

} // namespace vok::tool
